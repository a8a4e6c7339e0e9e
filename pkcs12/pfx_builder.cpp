// Building a PKCS#12 file from a PEM private key, its PEM certificate and an
// optional PEM CA certificate.
#include <iostream>
#include <string>

#include <openssl/pem.h>
#include <openssl/pkcs12.h>

#include "common/files.h"
#include "common/handles.h"
#include "common/secret.h"
#include "pkcs12/PFX_parser.h"

namespace {

bool Fail(const char* message) {
  std::cerr << message << std::endl;
  return false;
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

  const SecretString keypemString = ReadSecretFile(keyPath);
  {
    BioPtr bio = ReadOnlyMemoryBio(keypemString);
    if (!bio) return Fail("Error creating BIO for private key.");
    key.reset(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
  }
  if (!key) return Fail("Error reading private key from string.");

  const std::string certpemString = ReadFileToString(certPath);
  {
    BioPtr bio = ReadOnlyMemoryBio(certpemString);
    if (!bio) return Fail("Error creating BIO for certificate.");
    cert.reset(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
  }
  if (!cert) return Fail("Error reading X.509 certificate.");

  caList.reset(sk_X509_new_null());
  if (!caList) return Fail("Error creating stack for CA certificates.");

  if (!caCertPath.empty()) {
    const std::string caPemString = ReadFileToString(caCertPath);
    X509Ptr caCert;
    {
      BioPtr bio = ReadOnlyMemoryBio(caPemString);
      if (!bio) return Fail("Error creating BIO for CA certificate.");
      caCert.reset(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
    }
    if (!caCert) return Fail("Error reading CA certificate.");
    // Appending fails only when memory is exhausted; a file without the CA
    // the user asked for would be worse than no file.
    if (sk_X509_push(caList.get(), caCert.get()) <= 0) {
      return Fail("Error creating stack for CA certificates.");
    }
    caCert.release();  // the list owns it now
  }

  // An empty password or name is passed as an empty text, never as none: the
  // file is then protected by the empty password, which readers can open.
  Pkcs12Ptr pkcs12(PKCS12_create(password.c_str(), friendlyName.c_str(), key.get(), cert.get(),
                                 caList.get(), 0, 0, 0, 0, 0));
  if (!pkcs12) return Fail("Error creating PKCS12.");

  BioPtr der(BIO_new(BIO_s_mem()));
  if (!der) return Fail("Error creating BIO for PKCS#12.");
  if (i2d_PKCS12_bio(der.get(), pkcs12.get()) <= 0) return Fail("Error writing PKCS#12 to BIO.");

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
  return WriteKeyMaterialToFile(outPath, pemString);
}
