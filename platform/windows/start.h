// Start-up steps of the Windows build, run before wmain.
#pragma once

#include "platform/platform.h"

// When standard output or error is a console, the tool's UTF-8 text is shown
// there as the characters it encodes. Redirected output stays bytes.
void ShowUtf8OnConsole();
