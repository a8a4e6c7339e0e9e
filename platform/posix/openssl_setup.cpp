#include "platform/openssl_setup.h"

// The system's engine is a module in the library's engine folder; asked for
// by its name, the library loads it from there.
void MakeGostEngineKnown() {}

// Engines and providers are the system's own installation, found where the
// system's library finds them.
void ConfineLoadableModules() {}
