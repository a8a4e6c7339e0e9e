// The certificate inside a PKCS#12 file and its public key, for verification.
#include <openssl/err.h>
#include <openssl/pem.h>

#include <iostream>

#include "common/handles.h"
#include "common/pem.h"
#include "pkcs12/PFX_parser.h"
#include "pkcs12/pfx_open.h"

X509* PfxToCertificate(const std::string& pfxData, const std::string& password) {
  // Only the certificate is wanted; the key goes at once. A file without a
  // certificate gives null here, and the caller reports it.
  PkeyPtr key;
  X509Ptr cert;
  if (!OpenPkcs12(pfxData, password, key, cert)) return nullptr;
  return cert.release();
}

std::string CertificateToPublicKeyPem(X509* cert) {
  if (cert == nullptr) return {};
  PkeyPtr key(CertificatePublicKey(cert));
  if (!key) {
    std::cout << "Error extracting public key: " << ERR_get_error() << std::endl;
    return {};
  }
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (PEM_write_bio_PUBKEY(bio.get(), key.get()) == 0) {
    key.reset();
    bio.reset();
    std::cout << "Error writing public key to BIO: " << ERR_get_error() << std::endl;
    return {};
  }
  return MemoryBioContents(bio.get());
}
