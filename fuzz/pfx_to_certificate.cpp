// PfxToCertificate on arbitrary PKCS#12 bytes and passwords (see
// SplitPfxInput), followed, as in verification, by CertificateToPublicKeyPem,
// whose text must read back as a public key.
#include <cstdlib>

#include "common/handles.h"
#include "common/pem.h"
#include "fuzz/fuzz_support.h"
#include "pkcs12/PFX_parser.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  PrepareFuzzing();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const PfxInput input = SplitPfxInput(data, size);
  const X509Ptr cert(PfxToCertificate(input.pfx, input.password));
  const std::string publicKeyPem = CertificateToPublicKeyPem(cert.get());
  if (!publicKeyPem.empty() && !PkeyPtr(PemToPublicKey(publicKeyPem))) std::abort();
  NoteLibraryErrors();
  return 0;
}
