#include "cli/handlers.h"

void HandleVerify(int /*argc*/, wchar_t* /*argv*/[]) {}
