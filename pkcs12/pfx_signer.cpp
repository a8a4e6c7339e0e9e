// The signer's key, certificate serial number and digest name from a PKCS#12 file.
#include <climits>
#include <iostream>

#include <openssl/err.h>
#include <openssl/objects.h>

#include "common/handles.h"
#include "pkcs12/PFX_parser.h"

namespace {

// The certificate's serial number as BN_bn2hex writes it; untouched when it
// cannot be read or converted.
void ReadSerialNumber(X509* cert, std::string& serialnumber) {
  const ASN1_INTEGER* serial = X509_get_serialNumber(cert);
  if (serial == nullptr) return;
  const BignumPtr number(ASN1_INTEGER_to_BN(serial, nullptr));
  if (!number) return;
  const OpenSslTextPtr hex(BN_bn2hex(number.get()));
  if (hex) serialnumber = hex.get();
}

// The digest that suits the algorithm the certificate was signed with: any
// GOST R 34.10 signature means the GOST R 34.11-2012 256-bit digest, any
// SHA-256 signature means SHA256; other algorithms keep their short name.
std::string DigestNameForCertificate(const X509* cert) {
  const X509_ALGOR* algorithm = X509_get0_tbs_sigalg(cert);
  if (algorithm == nullptr) return {};
  const ASN1_OBJECT* object = nullptr;
  X509_ALGOR_get0(&object, nullptr, nullptr, algorithm);
  const char* shortName = OBJ_nid2sn(OBJ_obj2nid(object));
  std::string name = shortName != nullptr ? shortName : "";
  if (name.find("gost3410") != std::string::npos) name = "md_gost12_256";
  if (name.find("SHA256") != std::string::npos) name = "SHA256";
  return name;
}

}  // namespace

EVP_PKEY* PfxToPrivateKey(const std::string& pfxData, const std::string& password,
                          std::string& serialnumber, std::string& signatureAlgorithm) {
  OPENSSL_init_crypto(OPENSSL_INIT_ADD_ALL_CIPHERS | OPENSSL_INIT_ADD_ALL_DIGESTS, nullptr);
  OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);

  // A length beyond the library's int cannot describe a memory BIO.
  BioPtr bio(pfxData.size() > static_cast<std::size_t>(INT_MAX)
                 ? nullptr
                 : BIO_new_mem_buf(pfxData.data(), static_cast<int>(pfxData.size())));
  if (!bio) {
    std::cerr << "Error creating BIO." << std::endl;
    return nullptr;
  }
  const Pkcs12Ptr p12(d2i_PKCS12_bio(bio.get(), nullptr));
  bio.reset();
  if (!p12) {
    std::cerr << "Error reading PFX file." << std::endl;
    return nullptr;
  }

  EVP_PKEY* privatekey = nullptr;
  X509* cert = nullptr;
  if (PKCS12_parse(p12.get(), password.c_str(), &privatekey, &cert, nullptr) == 0) {
    std::cerr << "Error parsing PFX file: " << ERR_error_string(ERR_get_error(), nullptr)
              << std::endl;
    return nullptr;
  }
  PkeyPtr key(privatekey);
  if (cert != nullptr) {
    const X509Ptr certificate(cert);
    ReadSerialNumber(certificate.get(), serialnumber);
    signatureAlgorithm = DigestNameForCertificate(certificate.get());
  }
  return key.release();
}
