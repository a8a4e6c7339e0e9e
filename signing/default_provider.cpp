#include "signing/default_provider.h"

#include "common/handles.h"

OSSL_PROVIDER* LoadDefaultProviderForTheRun() {
  // Made on the first call, after the library's initialisation has registered
  // its clean-up at exit; owners registered later are released earlier, so
  // the provider is unloaded while the library can still do so. A run signs
  // or verifies once; a later call in the same process gets the same answer.
  static const ProviderPtr provider(OSSL_PROVIDER_load(nullptr, "default"));
  return provider.get();
}
