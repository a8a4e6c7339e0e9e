#include "cli/handlers.h"

void HandleCsr(int /*argc*/, wchar_t* /*argv*/[]) {}
