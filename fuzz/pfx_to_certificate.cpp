// PfxToCertificate on arbitrary PKCS#12 bytes and passwords (see
// SplitPfxInput), followed, as in verification, by CertificatePublicKey, whose
// key must render as a public key PEM that reads back as the same key.
#include <cstdlib>

#include "common/handles.h"
#include "common/pem.h"
#include "fuzz/fuzz_support.h"
#include "keys/key_pair_files.h"
#include "pkcs12/PFX_parser.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  PrepareFuzzing();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const PfxInput input = SplitPfxInput(data, size);
  const X509Ptr cert(PfxToCertificate(input.pfx, input.password));
  const PkeyPtr key(cert ? CertificatePublicKey(cert.get()) : nullptr);
  if (key) {
    const PkeyPtr again(PemToPublicKey(PublicKeyToPem(key.get())));
    if (!again || EVP_PKEY_eq(key.get(), again.get()) != 1) std::abort();
  }
  NoteLibraryErrors();
  return 0;
}
