#include "platform/platform.h"

// Large pages need a privilege that ordinary accounts lack on Windows, and
// ordinary pages serve every buffer: there is nothing to ask for.
void PreferLargePages(void* /*data*/, std::size_t /*size*/) {}
