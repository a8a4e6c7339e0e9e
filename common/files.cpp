#include "common/files.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <new>
#include <stdexcept>

#include "common/file_writer.h"
#include "common/report.h"
#include "common/secret.h"
#include "platform/platform.h"

namespace {

void ReportUnreadable() { ReportFailure("Unable to open key file!"); }

void ReportTooLarge(const std::string& path) {
  ReportFailure("Not enough memory to read file: " + std::string(path.c_str()));
}

// Measured on 1 GiB signed from the page cache: pieces of 32 KiB to 128 KiB
// cost 3-5% more processor time than 1 MiB, which is as fast as anything
// larger while the whole process stays under 10 MiB.
constexpr unsigned long long kPieceSize = 1ULL << 20;

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

// The whole file into content, which is left empty when the file cannot be
// read. A secret file passes through no buffer that is not wiped.
void ReadWholeFile(const std::string& path, std::string& content, bool secret) {
  InputFile file(path);
  try {
    // Room for the whole file first, so that one too large for memory is
    // reported before it is read.
    if (file.LengthAtOpen() > 0) content.reserve(static_cast<std::size_t>(file.LengthAtOpen()));
    file.ForEachPiece([&content, secret](const unsigned char* bytes, std::size_t count) {
      if (secret) GrowWiping(content, content.size() + count);
      content.append(reinterpret_cast<const char*>(bytes), count);
      return true;
    });
    return;
  } catch (const std::bad_alloc&) {
    ReportTooLarge(path);
  } catch (const std::length_error&) {
    ReportTooLarge(path);
  }
  WipeString(content);
}

// Every way a write can fail has the one message: the destination was
// refused, or the new file could not be made whole.
bool WriteReportingFailure(const std::string& path, const std::string& data, Access access) {
  return WriteFileWhole(path, data, access, Mode::Binary) == WriteOutcome::Written ||
         ReportFailure("Failed to open file for writing: " + std::string(path.c_str()));
}

}  // namespace

InputFile::InputFile(const std::string& path) : file_(nullptr, &std::fclose) {
  // A folder gives nothing to read, and a device other than the null device
  // or the console may never end: neither is opened.
  const FileKind kind = KindOfPath(path);
  if (kind != FileKind::Directory && kind != FileKind::Device) {
    file_.reset(std::fopen(path.c_str(), "rb"));
  }
  if (!file_) {
    ReportUnreadable();
    return;
  }
  // Read straight into the piece buffer: the stream's own buffer would copy
  // every byte once more, and keep a key file's last bytes after the close.
  std::setvbuf(file_.get(), nullptr, _IONBF, 0);
  length_ = SeekableLength(file_.get());
}

bool InputFile::ForEachPiece(const PieceSink& take) {
  const bool sized = length_ >= 0;
  unsigned long long left = sized ? static_cast<unsigned long long>(length_) : ULLONG_MAX;
  // No larger than the content: every page of a fresh buffer costs a fault,
  // which a one-byte file should not pay for a whole piece. Wiped when it
  // goes, as it may have held key text.
  SecretString piece;
  std::string& buffer = piece.value();
  buffer.resize(static_cast<std::size_t>(std::min(left, kPieceSize)));
  auto* const bytes = reinterpret_cast<unsigned char*>(buffer.data());
  std::size_t count = 0;
  while (file_ && left > 0 &&
         (count = std::fread(bytes, 1, std::min<unsigned long long>(left, buffer.size()),
                             file_.get())) > 0) {
    if (!take(bytes, count)) return false;
    left -= count;
  }
  if (!sized) return true;
  // A file that shrank keeps the length it had: the missing bytes are NUL.
  std::fill(buffer.begin(), buffer.end(), '\0');
  for (; left > 0; left -= count) {
    count = static_cast<std::size_t>(std::min<unsigned long long>(left, buffer.size()));
    if (!take(bytes, count)) return false;
  }
  return true;
}

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
  return WriteReportingFailure(path, data, Access::Ordinary);
}

bool WriteKeyMaterialToFile(const std::string& path, const std::string& data) {
  return WriteReportingFailure(path, data, Access::OwnerOnly);
}
