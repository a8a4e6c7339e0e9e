#include <string>

#include "platform/platform.h"

// The console system hands wmain its arguments as UTF-16 already; this is
// for callers that start from bytes. Invalid UTF-8 becomes U+FFFD here.
std::wstring DecodeArgument(const std::string& bytes) {
  if (bytes.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                       nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), size);
  return wide;
}
