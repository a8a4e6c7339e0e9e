// Windows start-up. The C runtime calls the tool's wmain itself (-municode),
// so the process is readied here, by a static initializer of the executable,
// before wmain runs and before the tool's first OpenSSL call.
#include <iostream>  // the standard streams exist before this file's start-up runs

#include "platform/platform.h"
#include "platform/windows/console.h"

namespace {

struct ProcessStart {
  ProcessStart() {
    ShowUtf8OnConsole();
    PrepareOpenSsl();
  }
};

const ProcessStart gProcessStart;

}  // namespace
