// PemToPrivateKey and PemToPublicKey on arbitrary text, and the readers of verify's key file
// (a public key or a certificate, PEM or DER). Whatever key they accept must render as a public
// key PEM that reads back as the same key; a certificate's names are shown as verify shows them.
#include <cstdlib>

#include "common/handles.h"
#include "common/pem.h"
#include "common/x509_name.h"
#include "fuzz/fuzz_support.h"
#include "keys/key_pair_files.h"

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
  X509Ptr cert;
  const PkeyPtr keyFileKey(KeyFileToPublicKey(pem, &cert));
  ExpectPublicRoundTrip(keyFileKey.get());
  if (cert) {
    NameLine(X509_get_subject_name(cert.get()));
    NameLine(X509_get_issuer_name(cert.get()));
  }
  NoteLibraryErrors();
  return 0;
}
