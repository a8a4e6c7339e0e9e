// The "default" provider that the signing and verification engines load.
#pragma once

#include <openssl/provider.h>

// Loads the "default" provider into the default library context for the rest
// of the run and returns it (null when it cannot be loaded). The engines never
// unload it; the handle is kept here and released at exit, ahead of the
// library's own clean-up, so that the provider is not lost memory at the end.
OSSL_PROVIDER* LoadDefaultProviderForTheRun();
