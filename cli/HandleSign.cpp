#include "cli/handlers.h"

void HandleSign(int /*argc*/, wchar_t* /*argv*/[]) {}
