// Building a PKCS#12 file from a PEM private key, its PEM certificate and an
// optional PEM CA certificate.
#include <openssl/pem.h>
#include <openssl/pkcs12.h>

#include <string>

#include "common/files.h"
#include "common/handles.h"
#include "common/pem.h"
#include "common/report.h"
#include "common/secret.h"
#include "pkcs12/PFX_parser.h"

namespace {

// The first PEM object of a file's text into `object`, by `read` (a BIO in,
// a new object or null out); each failure told in its own words (the BIO's
// names `what`).
template <typename Owner, typename Reader>
bool ReadPem(const std::string& text, Reader read, Owner& object, const std::string& what,
             const char* unreadable) {
  const BioPtr bio = ReadOnlyMemoryBio(text);
  if (!bio) return ReportFailure("Error creating BIO for " + what + ".");
  object.reset(read(bio.get()));
  return object || ReportFailure(unreadable);
}

// A certificate is never encrypted: a block that says it is, is refused
// rather than asked a pass phrase for.
X509* PemBioToCertificate(BIO* bio) {
  return PEM_read_bio_X509(bio, nullptr, GivenPassPhrase, nullptr);
}

// The DER encoding of a PKCS#12 structure with the key, its certificate and
// the CA certificate (if any) of the given files, or false after a line on
// standard error. Every library object is released before this returns, so
// nothing is held while the file is written.
bool BuildPkcs12Der(const std::string& certPath, const std::string& keyPath,
                    const std::string& caCertPath, const std::string& password,
                    const std::string& friendlyName, SecretString& pemString) {
  // Declared in the reverse of the order of release: output BIO, PKCS#12,
  // certificate, private key, then the CA list with its CA certificate.
  X509StackPtr caList;
  PkeyPtr key;
  X509Ptr cert;

  // The key file's own pass phrase, if it has one, is not asked for.
  const auto keyReader = [](BIO* bio) { return PemBioToPrivateKey(bio); };
  if (!ReadPem(ReadSecretFile(keyPath).value(), keyReader, key, "private key",
               "Error reading private key from string.") ||
      !ReadPem(ReadFileToString(certPath), PemBioToCertificate, cert, "certificate",
               "Error reading X.509 certificate.")) {
    return false;
  }

  caList.reset(sk_X509_new_null());
  if (!caList) return ReportFailure("Error creating stack for CA certificates.");

  if (!caCertPath.empty()) {
    X509Ptr caCert;
    if (!ReadPem(ReadFileToString(caCertPath), PemBioToCertificate, caCert, "CA certificate",
                 "Error reading CA certificate.")) {
      return false;
    }
    // Appending fails only when memory is exhausted; a file without the CA
    // the user asked for would be worse than no file.
    if (sk_X509_push(caList.get(), caCert.get()) <= 0) {
      return ReportFailure("Error creating stack for CA certificates.");
    }
    static_cast<void>(caCert.release());  // the list owns it now
  }

  // An empty password or name is passed as an empty text, never as none: the
  // file is then protected by the empty password, which readers can open.
  Pkcs12Ptr pkcs12(PKCS12_create(password.c_str(), friendlyName.c_str(), key.get(), cert.get(),
                                 caList.get(), 0, 0, 0, 0, 0));
  if (!pkcs12) return ReportFailure("Error creating PKCS12.");

  BioPtr der(BIO_new(BIO_s_mem()));
  if (!der) return ReportFailure("Error creating BIO for PKCS#12.");
  if (i2d_PKCS12_bio(der.get(), pkcs12.get()) <= 0) {
    return ReportFailure("Error writing PKCS#12 to BIO.");
  }

  pemString.value() = MemoryBioContents(der.get());  // the BIO's buffer is wiped as it goes
  return true;
}

}  // namespace

bool GeneratePkcs12(const std::string& certPath, const std::string& keyPath,
                    const std::string& caCertPath, const std::string& password,
                    const std::string& friendlyName, const std::string& outPath) {
  SecretString pemString;  // DER bytes, despite the name; handled by size
  if (!BuildPkcs12Der(certPath, keyPath, caCertPath, password, friendlyName, pemString)) {
    return false;
  }
  // The file holds the private key: it is never readable by others, not even
  // for the moment between its creation and the write.
  return WriteKeyMaterialToFile(outPath, pemString.value());
}
