#include "common/files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "common/file_writer.h"
#include "common/read_ahead.h"
#include "common/report.h"
#include "common/secret.h"
#include "platform/platform.h"

namespace {

void ReportTooLarge(const std::string& path) {
  ReportFailure("Not enough memory to read file: " + std::string(path.c_str()));
}

// Measured on 1 GiB signed from the page cache: pieces of 32 KiB to 128 KiB
// cost 3-5% more processor time than 1 MiB, which is as fast as anything
// larger.
constexpr unsigned long long kPieceSize = 1ULL << 20;

// Pieces a second thread may read ahead of the digest. Reading a piece takes
// about a quarter of the time SHA-256 needs for it, so two would keep the
// reader ahead on a quiet machine; the third lets it lose a piece's time to
// other work and still be ahead, and fill two slots each time it wakes. The
// whole process stays near 11 MiB.
constexpr std::size_t kRingSlots = 3;

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

// The whole file into content. Any file may hold key text: none passes
// through a buffer that is not wiped, the one a failed read leaves included.
void ReadWholeFile(const std::string& path, std::string& content) {
  try {
    InputFile file(path);
    // Room for the whole file first, so that one too large for memory is
    // reported before it is read.
    if (file.LengthAtOpen() > 0) content.reserve(static_cast<std::size_t>(file.LengthAtOpen()));
    file.ForEachPiece([&content](const unsigned char* bytes, std::size_t count) {
      GrowWiping(content, content.size() + count);
      content.append(reinterpret_cast<const char*>(bytes), count);
      return true;
    });
    return;
  } catch (const std::bad_alloc&) {
    ReportTooLarge(path);
  } catch (const std::length_error&) {
    ReportTooLarge(path);
  } catch (const FileNotReadWhole&) {
    // told already
  }
  WipeString(content);
  throw FileNotReadWhole();
}

// Every way a write can fail has the one message: the destination was
// refused, or the new file could not be made whole.
bool WriteReportingFailure(const std::string& path, const std::string& data, Access access) {
  return WriteFileWhole(path, data, access, Mode::Binary) == WriteOutcome::Written ||
         ReportFailure("Failed to open file for writing: " + std::string(path.c_str()));
}

}  // namespace

InputFile::InputFile(const std::string& path) : path_(path), file_(nullptr, &std::fclose) {
  // A folder gives nothing to read, and a device other than the null device
  // or the console may never end: neither is opened.
  const FileKind kind = KindOfPath(path);
  if (kind == FileKind::Directory) Fail(std::strerror(EISDIR));
  if (kind == FileKind::Device) Fail("not a file that can be read to its end");
  errno = 0;
  file_.reset(std::fopen(path.c_str(), "rb"));
  if (!file_) Fail(errno != 0 ? std::strerror(errno) : "cannot be opened");
  // Read straight into the piece buffer: the stream's own buffer would copy
  // every byte once more, and keep a key file's last bytes after the close.
  // Should the stream refuse, it reads the same bytes through its buffer.
  static_cast<void>(std::setvbuf(file_.get(), nullptr, _IONBF, 0));
  length_ = SeekableLength(file_.get());
}

void InputFile::Fail(const std::string& reason) const {
  ReportFailure("Unable to open key file!");
  ReportFailure("Cannot read " + std::string(path_.c_str()) + ": " + reason);
  throw FileNotReadWhole();
}

bool InputFile::ForEachPiece(const PieceSink& take) {
  const bool sized = length_ >= 0;
  // Read by the reader alone, and here once it has ended: at most as many
  // bytes as the file had when it was opened, none of those added since.
  unsigned long long unread = sized ? static_cast<unsigned long long>(length_) : ULLONG_MAX;
  int readError = 0;  // errno belongs to the thread that reads: taken there
  const PieceSource read = [this, &unread, &readError](unsigned char* into, std::size_t most) {
    if (unread == 0) return std::size_t{0};
    const std::size_t asked = static_cast<std::size_t>(std::min<unsigned long long>(unread, most));
    errno = 0;
    const std::size_t count = std::fread(into, 1, asked, file_.get());
    if (count < asked && std::ferror(file_.get()) != 0) {
      readError = errno != 0 ? errno : EIO;
      return std::size_t{0};
    }
    unread -= count;
    return count;
  };
  // No larger than the content: every page of a fresh buffer costs a fault,
  // which a one-byte file should not pay for a whole piece. A second thread
  // reads only what is larger than one piece, and only where this process may
  // run on two processors: on one it would merely take turns with the digest.
  const auto pieceSize = static_cast<std::size_t>(std::min(unread, kPieceSize));
  const std::size_t slots = unread > kPieceSize && UsableProcessorCount() > 1 ? kRingSlots : 1;
  if (!ReadAhead(read, pieceSize, slots, take)) return false;
  if (readError != 0) Fail(std::strerror(readError));
  if (sized && unread > 0) Fail("file shrank while being read");
  return true;
}

std::string ReadFileToString(const std::string& path) {
  std::string content;
  ReadWholeFile(path, content);
  return content;
}

SecretString ReadSecretFile(const std::string& path) {
  SecretString content;
  ReadWholeFile(path, content.value());
  return content;
}

bool WriteStringToFile(const std::string& path, const std::string& data) {
  return WriteReportingFailure(path, data, Access::Ordinary);
}

bool WriteKeyMaterialToFile(const std::string& path, const std::string& data) {
  return WriteReportingFailure(path, data, Access::OwnerOnly);
}
