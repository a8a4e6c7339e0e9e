// The signer's key, certificate serial number and digest name from a PKCS#12 file.
#include <openssl/objects.h>

#include "common/handles.h"
#include "pkcs12/PFX_parser.h"
#include "pkcs12/pfx_open.h"

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
  PkeyPtr key;
  X509Ptr certificate;
  if (!OpenPkcs12(pfxData, password, key, certificate)) return nullptr;
  if (certificate) {
    ReadSerialNumber(certificate.get(), serialnumber);
    signatureAlgorithm = DigestNameForCertificate(certificate.get());
  }
  return key.release();
}
