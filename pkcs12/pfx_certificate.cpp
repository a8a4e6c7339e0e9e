// The certificate inside a PKCS#12 file, for verification.
#include "common/handles.h"
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
