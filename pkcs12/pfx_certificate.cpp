// The certificate inside a PKCS#12 file and its public key, for verification.
#include <climits>
#include <iostream>

#include <openssl/err.h>
#include <openssl/pem.h>

#include "common/handles.h"
#include "pkcs12/PFX_parser.h"

X509* PfxToCertificate(const std::string& pfxData, const std::string& password) {
  OPENSSL_init_crypto(OPENSSL_INIT_ADD_ALL_CIPHERS | OPENSSL_INIT_ADD_ALL_DIGESTS, nullptr);
  // Error texts must be loaded for the parse failure line below.
  OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);

  // The library counts lengths in an int: a larger file cannot be wrapped.
  BioPtr bio;
  if (pfxData.size() <= static_cast<std::size_t>(INT_MAX)) {
    bio.reset(BIO_new_mem_buf(pfxData.data(), static_cast<int>(pfxData.size())));
  }
  if (!bio) {
    std::cerr << "Error creating BIO." << std::endl;
    return nullptr;
  }
  Pkcs12Ptr pkcs12(d2i_PKCS12_bio(bio.get(), nullptr));
  bio.reset();
  if (!pkcs12) {
    std::cerr << "Error reading PFX file." << std::endl;
    return nullptr;
  }

  EVP_PKEY* pkey = nullptr;
  X509* cert = nullptr;
  if (PKCS12_parse(pkcs12.get(), password.c_str(), &pkey, &cert, nullptr) == 0) {
    std::cerr << "Error parsing PFX file: " << ERR_error_string(ERR_get_error(), nullptr)
              << std::endl;
    return nullptr;
  }
  // Only the certificate is wanted; the key goes at once. A file without a
  // certificate gives null here, and the caller reports it.
  EVP_PKEY_free(pkey);
  return cert;
}

std::string CertificateToPublicKeyPem(X509* cert) {
  if (cert == nullptr) return {};
  PkeyPtr key(X509_get_pubkey(cert));
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
