// What other processes can learn of a run: its command line and, after a
// crash, its memory.
#include <windows.h>
#include <winternl.h>

#include <cstddef>
#include <cstring>
#include <cwchar>

#include "platform/platform.h"

namespace {

// The rules below work on either form of the command line: the wide one and
// the narrow copy the system makes of it for GetCommandLineA.
template <typename Char>
bool IsBlank(Char c) {
  return c == ' ' || c == '\t';
}

// Past the program name: blanks end it outside double quotes, which only
// switch quoting on and off there.
template <typename Char>
std::size_t SkipProgramName(const Char* line, std::size_t length) {
  std::size_t pos = 0;
  bool quoted = false;
  for (; pos < length && (quoted || !IsBlank(line[pos])); ++pos) {
    if (line[pos] == '"') quoted = !quoted;
  }
  return pos;
}

// Past one argument, split as the C runtime splits them: a blank outside
// double quotes ends it; an odd run of backslashes makes the double quote
// after it a letter, an even run leaves it a quote; two double quotes inside
// quotes are one letter.
template <typename Char>
std::size_t SkipArgument(const Char* line, std::size_t length, std::size_t pos) {
  bool quoted = false;
  while (pos < length && (quoted || !IsBlank(line[pos]))) {
    if (line[pos] == '\\') {
      std::size_t slashes = 0;
      for (; pos < length && line[pos] == '\\'; ++pos) ++slashes;
      if (pos < length && line[pos] == '"' && slashes % 2 == 1) ++pos;
    } else if (line[pos] == '"' && quoted && pos + 1 < length && line[pos + 1] == '"') {
      pos += 2;
    } else {
      if (line[pos] == '"') quoted = !quoted;
      ++pos;
    }
  }
  return pos;
}

// Every character the argument was typed with, quotes and backslashes too,
// becomes 'x': read again, the line still splits into the same arguments.
template <typename Char>
void OverwriteArgument(Char* line, std::size_t length, int index) {
  if (line == nullptr) return;
  std::size_t pos = SkipProgramName(line, length);
  for (int i = 1; i <= index; ++i) {
    while (pos < length && IsBlank(line[pos])) ++pos;
    if (pos >= length) return;
    const std::size_t start = pos;
    pos = SkipArgument(line, length, pos);
    if (i == index) {
      for (std::size_t j = start; j < pos; ++j) line[j] = 'x';
    }
  }
}

// A crash ends the process at once, before Windows Error Reporting could
// write a dump of its memory.
LONG WINAPI EndWithoutDump(EXCEPTION_POINTERS* /*exception*/) {
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

// GCC 12 mistakes the read of the thread block through the segment register
// for an access past an empty array; the read is the documented one.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
UNICODE_STRING& CommandLineShownToOthers() {
  return NtCurrentTeb()->ProcessEnvironmentBlock->ProcessParameters->CommandLine;
}
#pragma GCC diagnostic pop

}  // namespace

void HideArgumentFromOtherProcesses(int index) {
  // Other processes read the command line from the process parameters that
  // the system keeps in the process environment block; the C runtime has
  // already split its own copy for wmain.
  UNICODE_STRING& shown = CommandLineShownToOthers();
  OverwriteArgument(shown.Buffer, shown.Length / sizeof(wchar_t), index);
  // GetCommandLineW gives the same text; where it is a copy, that goes too.
  wchar_t* own = GetCommandLineW();
  if (own != shown.Buffer) OverwriteArgument(own, std::wcslen(own), index);
  // Nobody outside reads the narrow copy, but it holds the password as well.
  char* narrow = GetCommandLineA();
  OverwriteArgument(narrow, std::strlen(narrow), index);
}

void KeepMemoryPrivate() {
  SetErrorMode(SetErrorMode(0) | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(EndWithoutDump);
}
