#include "common/files.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <stdexcept>

#include "common/secret.h"
#include "platform/platform.h"

namespace {

using FilePtr = std::unique_ptr<std::FILE, decltype(&std::fclose)>;

void ReportUnreadable() { std::cerr << "Unable to open key file!" << std::endl; }

void ReportTooLarge(const std::string& path) {
  std::cerr << "Not enough memory to read file: " << path.c_str() << std::endl;
}

// Large enough that a big file takes few system calls, small enough to stay
// in the processor's cache between being read and being appended.
constexpr std::size_t kChunkSize = std::size_t{1} << 18;

// Makes room for needed bytes in a buffer of its own, at least twice as large,
// and wipes the old one: the string's own growth would leave it behind as it
// was, key text and all.
void GrowWiping(std::string& content, std::size_t needed) {
  if (needed <= content.capacity()) return;
  std::string larger;
  larger.reserve(std::max(needed, 2 * content.capacity()));
  larger = content;
  WipeString(content);
  content.swap(larger);
}

// Appends at most limit bytes from the stream to content, a chunk at a time,
// so that content's own bytes are written once, by the copy of the data. The
// chunk is wiped when it goes, as it may have held key text.
void ReadChunks(std::FILE* file, std::size_t limit, std::string& content, bool secret) {
  SecretString chunk;
  chunk.value().resize(std::min(limit, kChunkSize));
  std::string& buffer = chunk.value();
  std::size_t count = 0;
  while (limit > 0 &&
         (count = std::fread(buffer.data(), 1, std::min(limit, buffer.size()), file)) > 0) {
    if (secret) GrowWiping(content, content.size() + count);
    content.append(buffer.data(), count);
    limit -= count;
  }
}

// Seeks to the end to learn the length; -1 when the stream cannot be sized.
long SeekableLength(std::FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return -1;
  const long length = std::ftell(file);
  if (length < 0 || std::fseek(file, 0, SEEK_SET) != 0) return -1;
  return length;
}

// The whole file into content, which is left empty when the file cannot be
// read. A secret file passes through no buffer that content does not own.
void ReadWholeFile(const std::string& path, std::string& content, bool secret) {
  FilePtr file(std::fopen(path.c_str(), "rb"), &std::fclose);
  // The stream's own buffer would keep a small file's bytes after the close.
  if (file && secret) std::setvbuf(file.get(), nullptr, _IONBF, 0);
  if (!file || IsDirectoryStream(file.get())) {
    ReportUnreadable();
    return;
  }
  try {
    const long length = SeekableLength(file.get());
    if (length < 0) {
      // Pipes and other streams that cannot be sized by seeking are read to their end.
      ReadChunks(file.get(), content.max_size(), content, secret);
      return;
    }
    // Room for the whole file, written only by the data itself: filling it
    // first would fault in every page of a large file one more time.
    content.reserve(static_cast<std::size_t>(length));
    PreferLargePages(content.data(), content.capacity());
    ReadChunks(file.get(), static_cast<std::size_t>(length), content, secret);
    // A file that shrank meanwhile keeps the length it had: the rest stays NUL.
    content.resize(static_cast<std::size_t>(length));
    return;
  } catch (const std::bad_alloc&) {
    ReportTooLarge(path);
  } catch (const std::length_error&) {
    ReportTooLarge(path);
  }
  WipeString(content);
}

}  // namespace

std::string ReadFileToString(const std::string& path) {
  std::string content;
  ReadWholeFile(path, content, false);
  return content;
}

SecretString ReadSecretFile(const std::string& path) {
  SecretString content;
  ReadWholeFile(path, content.value(), true);
  return content;
}

bool WriteStringToFile(const std::string& path, const std::string& data) {
  std::ofstream outFile(path.c_str(), std::ios::binary);
  if (outFile.fail()) {
    std::cerr << "Failed to open file for writing: " << path.c_str() << std::endl;
    return false;
  }
  outFile.write(data.data(), static_cast<std::streamsize>(data.size()));
  outFile.close();
  return true;
}
