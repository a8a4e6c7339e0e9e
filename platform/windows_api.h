// The few console-system interfaces the tool is written against. On Windows
// they come from <windows.h>; elsewhere platform/ supplies stand-ins with the
// same names, arguments and return conventions.
#pragma once

#ifdef _WIN32
// Only the core interfaces: the full set brings wincrypt.h, whose X509_NAME
// and friends are macros that collide with OpenSSL's types, and min/max
// macros that break std::min.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cstdint>

using DWORD = std::uint32_t;
using UINT = unsigned int;
using BOOL = int;

constexpr UINT CP_UTF8 = 65001;

// UTF-8 only. Escape code points U+DC80..U+DCFF turn back into the single
// byte they stand for; any other value that is not a Unicode scalar value is
// written as U+FFFD. Length -1 converts up to and including the terminator.
// With an output size of 0 the needed size is returned; 0 means failure.
int WideCharToMultiByte(UINT codePage, DWORD flags, const wchar_t* wideText, int wideLength,
                        char* out, int outSize, const char* defaultChar, BOOL* usedDefaultChar);

// Absolute form of a path, "." and ".." resolved by text. Returns the length
// without the terminator when it fits, else the size needed with it; 0 on failure.
DWORD GetFullPathNameW(const wchar_t* fileName, DWORD bufferLength, wchar_t* buffer,
                       wchar_t** filePart);

// Current directory, with the same return conventions as GetFullPathNameW.
DWORD GetCurrentDirectoryA(DWORD bufferLength, char* buffer);
#endif
