#include "pkcs12/pfx_open.h"

#include <iostream>

#include <openssl/err.h>

bool OpenPkcs12(const std::string& pfxData, const std::string& password, PkeyPtr& key,
                X509Ptr& cert) {
  OPENSSL_init_crypto(OPENSSL_INIT_ADD_ALL_CIPHERS | OPENSSL_INIT_ADD_ALL_DIGESTS, nullptr);
  // Error texts must be loaded for the parse failure line below.
  OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);

  BioPtr bio = ReadOnlyMemoryBio(pfxData);
  if (!bio) {
    std::cerr << "Error creating BIO." << std::endl;
    return false;
  }
  const Pkcs12Ptr pkcs12(d2i_PKCS12_bio(bio.get(), nullptr));
  bio.reset();
  if (!pkcs12) {
    std::cerr << "Error reading PFX file." << std::endl;
    return false;
  }

  EVP_PKEY* privatekey = nullptr;
  X509* certificate = nullptr;
  if (PKCS12_parse(pkcs12.get(), password.c_str(), &privatekey, &certificate, nullptr) == 0) {
    std::cerr << "Error parsing PFX file: " << ERR_error_string(ERR_get_error(), nullptr)
              << std::endl;
    return false;
  }
  key.reset(privatekey);
  cert.reset(certificate);
  return true;
}

bool IsPkcs12Extension(const std::string& extension) {
  return extension == "PFX" || extension == "pfx" || extension == "Pfx";
}
