#include "common/files.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

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

// Appends at most limit bytes from the stream to content, a chunk at a time,
// so that content's own bytes are written once, by the copy of the data.
void ReadChunks(std::FILE* file, std::size_t limit, std::string& content) {
  std::vector<char> chunk(std::min(limit, kChunkSize));
  std::size_t count = 0;
  while (limit > 0 &&
         (count = std::fread(chunk.data(), 1, std::min(limit, chunk.size()), file)) > 0) {
    content.append(chunk.data(), count);
    limit -= count;
  }
}

// Pipes and other streams that cannot be sized by seeking are read to their end.
std::string ReadToEnd(std::FILE* file) {
  std::string content;
  ReadChunks(file, content.max_size(), content);
  return content;
}

// Seeks to the end to learn the length; -1 when the stream cannot be sized.
long SeekableLength(std::FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return -1;
  const long length = std::ftell(file);
  if (length < 0 || std::fseek(file, 0, SEEK_SET) != 0) return -1;
  return length;
}

}  // namespace

std::string ReadFileToString(const std::string& path) {
  FilePtr file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file || IsDirectoryStream(file.get())) {
    ReportUnreadable();
    return {};
  }
  try {
    const long length = SeekableLength(file.get());
    if (length < 0) return ReadToEnd(file.get());
    // Room for the whole file, written only by the data itself: filling it
    // first would fault in every page of a large file one more time.
    std::string content;
    content.reserve(static_cast<std::size_t>(length));
    PreferLargePages(content.data(), content.capacity());
    ReadChunks(file.get(), static_cast<std::size_t>(length), content);
    // A file that shrank meanwhile keeps the length it had: the rest stays NUL.
    content.resize(static_cast<std::size_t>(length));
    return content;
  } catch (const std::bad_alloc&) {
    ReportTooLarge(path);
  } catch (const std::length_error&) {
    ReportTooLarge(path);
  }
  return {};
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
