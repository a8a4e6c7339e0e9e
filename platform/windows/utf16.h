// The tool's narrow strings are UTF-8; the wide system calls take UTF-16.
#pragma once

#include <string>
#include <string_view>

#include "platform/windows_api.h"

// The UTF-16 form of UTF-8 text. With MB_ERR_INVALID_CHARS, text that is not
// valid UTF-8 gives an empty string; with 0, each invalid byte becomes U+FFFD.
inline std::wstring Utf16(std::string_view text, DWORD flags) {
  const int length = static_cast<int>(text.size());
  if (length == 0) return {};
  const int size = MultiByteToWideChar(CP_UTF8, flags, text.data(), length, nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, flags, text.data(), length, wide.data(), size);
  return wide;
}
