// The signer's key and certificate serial number from a PKCS#12 file.
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

}  // namespace

EVP_PKEY* PfxToPrivateKey(const std::string& pfxData, const std::string& password,
                          std::string& serialnumber) {
  PkeyPtr key;
  X509Ptr certificate;
  if (!OpenPkcs12(pfxData, password, key, certificate)) return nullptr;
  if (certificate) ReadSerialNumber(certificate.get(), serialnumber);
  return key.release();
}
