// How the C runtime splits a Windows command line into arguments, as far as
// hiding one of them needs it. Text work only, apart from the system calls,
// so that the tests check it on whatever system they are built.
#pragma once

#include <cstddef>

namespace command_line_rules {

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
// after it a letter, an even run leaves it a quote. Two double quotes inside
// quotes are one letter and leave the quoting on, just as two switches would.
// Runtimes older than Visual C++ 2008 turned the quoting off after such a
// pair; whether Windows' own msvcrt.dll still does is to be checked there.
template <typename Char>
std::size_t SkipArgument(const Char* line, std::size_t length, std::size_t pos) {
  bool quoted = false;
  while (pos < length && (quoted || !IsBlank(line[pos]))) {
    if (line[pos] == '\\') {
      std::size_t slashes = 0;
      for (; pos < length && line[pos] == '\\'; ++pos) ++slashes;
      if (pos < length && line[pos] == '"' && slashes % 2 == 1) ++pos;
    } else {
      if (line[pos] == '"') quoted = !quoted;
      ++pos;
    }
  }
  return pos;
}

}  // namespace command_line_rules

// Every character the argument was typed with, quotes and backslashes too,
// becomes 'x': read again, the line still splits into the same arguments.
template <typename Char>
void OverwriteCommandLineArgument(Char* line, std::size_t length, int index) {
  using namespace command_line_rules;
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
