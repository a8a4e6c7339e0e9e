#include "platform/openssl_setup.h"

// Engines and providers that a configuration names are the system's own
// installation, found where the system's library finds them.
void ConfineLoadableModules() {}
