#include <string>

#include "cli/entry.h"
#include "platform/windows_api.h"

namespace {

// The conversion written straight into str at its final size, so that no
// other copy of the text is made on the way (str is empty when it fails).
void ConvertInto(const wchar_t* text, std::string& str) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  str.assign(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, str.data(), size, nullptr, nullptr);
}

}  // namespace

std::string WideToUtf8(const std::wstring& wstr) {
  std::string str;
  ConvertInto(wstr.c_str(), str);
  return str;
}

SecretString PasswordArgument(int argc, wchar_t* argv[]) {
  SecretString text;
  const int index = PasswordArgumentIndex(argc, argv);
  if (index == 0) return text;
  ConvertInto(argv[index], text.value());
  if (!text.value().empty()) text.value().pop_back();  // the NUL, dropped in place
  return text;
}

std::string WithoutTrailingNul(const std::string& converted) {
  return converted.empty() ? converted : converted.substr(0, converted.size() - 1);
}

std::string OptionalArgument(int argc, wchar_t* argv[], int index) {
  return argc > index ? WithoutTrailingNul(WideToUtf8(argv[index])) : std::string();
}

std::string ProgramPathForOpenSsl(const wchar_t* programPath) {
  constexpr DWORD kMaxPath = 260;
  wchar_t fullPath[kMaxPath];
  const DWORD length = GetFullPathNameW(programPath, kMaxPath, fullPath, nullptr);
  // A length of kMaxPath or more is the size the call would need: nothing was
  // filled, so it counts as a failed call and the search path stays empty.
  if (length == 0 || length >= kMaxPath) return {};
  return WideToUtf8(fullPath);
}
