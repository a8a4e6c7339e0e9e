#include <fcntl.h>
#include <sys/prctl.h>

#include <cerrno>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/arguments.h"

namespace {

int processArgc = 0;
char** processArgv = nullptr;
bool outputClosedAtStart = false;

}  // namespace

void RememberProcessArguments(int argc, char* argv[]) {
  processArgc = argc;
  processArgv = argv;
}

void HideArgumentFromOtherProcesses(int index) {
  if (processArgv == nullptr || index <= 0 || index >= processArgc) return;
  // Same length, in place: the kernel shows the argument area byte for byte,
  // so a shorter text would shift the arguments after it, and NULs would
  // show as extra empty arguments. 'x' keeps the count and every other
  // argument where it was, and means nothing to a shell ('*' would be a
  // wildcard in a command line copied from a process list).
  char* text = processArgv[index];
  std::memset(text, 'x', std::strlen(text));
}

void KeepMemoryPrivate() {
  // Not dumpable: no core file is written on a crash (unless the
  // administrator asked for cores of such processes too), and processes of
  // the same user can neither attach a debugger nor read /proc/PID/mem. A
  // zero core size limit would stop only the core file, and not a core
  // handler that the system runs through a pipe.
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

void OpenStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor is this one, as those below it are open.
    open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    outputClosedAtStart = outputClosedAtStart || fd == 1;
  }
}

bool StandardOutputWasClosed() { return outputClosedAtStart; }
