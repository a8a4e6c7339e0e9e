// PemToPrivateKey and PemToPublicKey on arbitrary text. Whatever key they
// accept must render as a public key PEM that reads back as the same key.
#include <cstdlib>

#include "common/handles.h"
#include "common/pem.h"
#include "fuzz/fuzz_support.h"
#include "keys/rsa_keys.h"

namespace {

void ExpectPublicRoundTrip(EVP_PKEY* key) {
  if (key == nullptr) return;
  const PkeyPtr again(PemToPublicKey(PublicKeyToPem(key)));
  if (!again || EVP_PKEY_eq(key, again.get()) != 1) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  PrepareFuzzing();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string pem = InputBytes(data, size);
  const PkeyPtr privateKey(PemToPrivateKey(pem));
  ExpectPublicRoundTrip(privateKey.get());
  const PkeyPtr publicKey(PemToPublicKey(pem));
  ExpectPublicRoundTrip(publicKey.get());
  NoteLibraryErrors();
  return 0;
}
