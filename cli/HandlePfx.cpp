#include "cli/handlers.h"

void HandlePfx(int /*argc*/, wchar_t* /*argv*/[]) {}
