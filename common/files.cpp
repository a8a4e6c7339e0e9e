#include "common/files.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <stdexcept>

#include "platform/platform.h"

namespace {

using FilePtr = std::unique_ptr<std::FILE, decltype(&std::fclose)>;

void ReportUnreadable() { std::cerr << "Unable to open key file!" << std::endl; }

void ReportTooLarge(const std::string& path) {
  std::cerr << "Not enough memory to read file: " << path.c_str() << std::endl;
}

// Pipes and other streams that cannot be sized by seeking are read to their end.
std::string ReadToEnd(std::FILE* file) {
  std::string content;
  char chunk[1 << 16];
  std::size_t count = 0;
  while ((count = std::fread(chunk, 1, sizeof(chunk), file)) > 0) content.append(chunk, count);
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
    std::string content(static_cast<std::size_t>(length), '\0');
    // A file that shrank meanwhile keeps the length it had: the rest stays NUL.
    std::fread(content.data(), 1, content.size(), file.get());
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
