#include "platform/windows/console.h"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <streambuf>
#include <string>

#include "platform/windows/utf16.h"

namespace {

// Hands the tool's UTF-8 text to a console as UTF-16. Byte writes to a console
// pass through the C runtime's own conversion, which may take each byte for a
// character of the runtime's locale; the wide call shows the text as it is.
class ConsoleBuffer : public std::streambuf {
 public:
  explicit ConsoleBuffer(HANDLE console) : console_(console) { setp(bytes_, bytes_ + kSize); }

 protected:
  int_type overflow(int_type c) override {
    if (Flush() != 0) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

  int sync() override { return Flush(); }

 private:
  static constexpr std::size_t kSize = 4096;

  // Length of the text up to a UTF-8 sequence cut short at its end, which
  // waits in the buffer for the rest of its bytes.
  static std::size_t CompleteLength(const char* text, std::size_t size) {
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
      const auto byte = static_cast<unsigned char>(text[size - back]);
      if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
      const std::size_t needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
      return needed > back ? size - back : size;
    }
    return size;
  }

  int Flush() {
    const auto size = static_cast<std::size_t>(pptr() - pbase());
    const std::size_t complete = CompleteLength(pbase(), size);
    if (complete > 0) {
      const std::wstring wide = Utf16(std::string_view(pbase(), complete), 0);
      DWORD written = 0;
      if (!wide.empty() && !WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()),
                                          &written, nullptr)) {
        return -1;
      }
    }
    std::memmove(bytes_, pbase() + complete, size - complete);
    setp(bytes_, bytes_ + kSize);
    pbump(static_cast<int>(size - complete));
    return 0;
  }

  HANDLE console_;
  char bytes_[kSize];
};

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// The buffers live as long as the process: the streams flush into them
// while static objects are being destroyed.
void WriteWideToConsole(std::ostream& stream, HANDLE handle) {
  if (IsConsole(handle)) stream.rdbuf(new ConsoleBuffer(handle));
}

UINT gConsoleCodePageBefore = 0;

void RestoreConsoleCodePage() { SetConsoleOutputCP(gConsoleCodePageBefore); }

}  // namespace

void ShowUtf8OnConsole() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (IsConsole(output)) {
    // For any narrow writer besides the tool's streams; the console's own
    // page comes back when the run ends, since the console outlives us.
    gConsoleCodePageBefore = GetConsoleOutputCP();
    if (gConsoleCodePageBefore != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
      std::atexit(RestoreConsoleCodePage);
    }
  }
  WriteWideToConsole(std::cout, output);
  WriteWideToConsole(std::cerr, GetStdHandle(STD_ERROR_HANDLE));
}
