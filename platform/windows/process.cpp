// What other processes can learn of a run: its command line and, after a
// crash, its memory.
#include <windows.h>
#include <winternl.h>

#include <cstring>
#include <cwchar>

#include "platform/platform.h"
#include "platform/windows/command_line.h"

namespace {

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
  OverwriteCommandLineArgument(shown.Buffer, shown.Length / sizeof(wchar_t), index);
  // GetCommandLineW gives the same text; where it is a copy, that goes too.
  wchar_t* own = GetCommandLineW();
  if (own != shown.Buffer) OverwriteCommandLineArgument(own, std::wcslen(own), index);
  // Nobody outside reads the narrow copy, but it holds the password as well.
  char* narrow = GetCommandLineA();
  OverwriteCommandLineArgument(narrow, std::strlen(narrow), index);
}

void KeepMemoryPrivate() {
  SetErrorMode(SetErrorMode(0) | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(EndWithoutDump);
}

// A console program's standard output is the console's, or where it was
// redirected; a write that fails is told when the run ends.
bool StandardOutputWasClosed() { return false; }
