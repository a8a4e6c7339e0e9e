// Windows start-up. The C runtime calls the tool's wmain itself (-municode),
// so the console is readied here, by a static initializer of the executable,
// before wmain runs and prints its first line.
#include <iostream>  // the standard streams exist before this file's start-up runs

#include "platform/windows/console.h"

namespace {

struct ProcessStart {
  ProcessStart() { ShowUtf8OnConsole(); }
};

const ProcessStart gProcessStart;

}  // namespace
