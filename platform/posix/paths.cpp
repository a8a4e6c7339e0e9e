#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/arguments.h"

const char kPathSeparator[] = "/";

namespace {

std::string CurrentDirectory() {
  std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
  return cwd ? std::string(cwd.get()) : std::string();
}

// Resolves "." and ".." by text, as the console system does: no link is followed.
std::wstring NormalizeAbsolute(const std::wstring& path) {
  std::vector<std::wstring> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(L'/', start);
    if (end == std::wstring::npos) end = path.size();
    const std::wstring part = path.substr(start, end - start);
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != L".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::wstring result;
  for (const std::wstring& part : parts) result += L"/" + part;
  if (result.empty()) return L"/";
  if (path.back() == L'/') result += L'/';
  return result;
}

template <typename Char>
DWORD CopyOut(const std::basic_string<Char>& text, DWORD bufferLength, Char* buffer) {
  if (text.size() + 1 > bufferLength || buffer == nullptr) {
    return static_cast<DWORD>(text.size() + 1);
  }
  std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(Char));
  return static_cast<DWORD>(text.size());
}

}  // namespace

DWORD GetFullPathNameW(const wchar_t* fileName, DWORD bufferLength, wchar_t* buffer,
                       wchar_t** filePart) {
  if (fileName == nullptr || *fileName == L'\0') return 0;
  std::wstring path = fileName;
  if (path.front() != L'/') {
    const std::string cwd = CurrentDirectory();
    if (cwd.empty()) return 0;
    path = DecodeArgument(cwd) + L"/" + path;
  }
  const std::wstring full = NormalizeAbsolute(path);
  const DWORD result = CopyOut(full, bufferLength, buffer);
  if (result == full.size() && filePart != nullptr) {
    const std::size_t slash = full.rfind(L'/');
    *filePart = slash + 1 == full.size() ? nullptr : buffer + slash + 1;
  }
  return result;
}

DWORD GetCurrentDirectoryA(DWORD bufferLength, char* buffer) {
  const std::string cwd = CurrentDirectory();
  if (cwd.empty()) return 0;
  return CopyOut(cwd, bufferLength, buffer);
}
