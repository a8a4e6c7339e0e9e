#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "common/secret.h"

// Takes the next piece of a file's content; false stops the reading.
using PieceSink = std::function<bool(const unsigned char* bytes, std::size_t count)>;

// Thrown once a file the command reads could not be read whole, after the
// reader has said why on standard error. Nothing of such a file may stand in
// for its content, so the command ends there, printing nothing more; wmain
// makes it exit status 1.
struct FileNotReadWhole {};

// A file opened at once and read later, a piece at a time through a few small
// buffers. The input of sign and verify is opened where the command reads its
// files, so that its failure is reported in its place among theirs, and read
// only while the library digests it: an input of any size passes in flat
// memory. Hence an object, which keeps the open file and the length it had
// when it was opened between those two moments.
//
// Every failure is told in two lines on standard error, "Unable to open key
// file!" and "Cannot read PATH: REASON", and throws FileNotReadWhole.
class InputFile {
 public:
  // Opens the file; fails on one that cannot be opened, a directory, or a
  // device that may never end.
  explicit InputFile(const std::string& path);

  // Hands the content to take, in order: exactly the bytes the file had when
  // it was opened, none of those added since; a stream that cannot be sized
  // (a pipe) to its end. False as soon as take refuses a piece. Fails when a
  // read fails or the file ends short of its length at open. Reads the file
  // once. take runs on the calling thread; the next pieces may meanwhile be
  // read on another.
  bool ForEachPiece(const PieceSink& take);

  // The length found when the file was opened: -1 for a stream read to its end.
  long long LengthAtOpen() const { return length_; }

 private:
  [[noreturn]] void Fail(const std::string& reason) const;

  std::string path_;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
  long long length_ = 0;
};

// Whole content of a file, byte for byte, read as InputFile reads it. A file
// too large for memory is told in one line, "Not enough memory to read file:
// PATH"; that and every failure of InputFile throw FileNotReadWhole.
std::string ReadFileToString(const std::string& path);

// ReadFileToString for a file of private key material (PEM or PKCS#12): the
// bytes go straight into the holder that wipes them, and no other copy of
// them is left in the program's memory.
SecretString ReadSecretFile(const std::string& path);

// Writes the bytes whole in place of the file (common/file_writer.h). False,
// with "Failed to open file for writing: " and the path on standard error,
// when they did not all reach the disk; the file is then as it was.
bool WriteStringToFile(const std::string& path, const std::string& data);

// WriteStringToFile for bytes that hold a private key (a PKCS#12 file): the
// file is readable by its owner alone from its creation.
bool WriteKeyMaterialToFile(const std::string& path, const std::string& data);
