#include "cli/handlers.h"

void HandleGenKeys(int /*argc*/, wchar_t* /*argv*/[]) {}
