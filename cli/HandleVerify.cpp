#include <openssl/bio.h>
#include <openssl/x509.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/entry.h"
#include "cli/handlers.h"
#include "common/files.h"
#include "common/handles.h"
#include "pkcs12/PFX_parser.h"
#include "pkcs12/pfx_open.h"
#include "signing/verify_engine.h"

namespace {

// The first three characters after the last dot of the converted key path,
// its NUL included: "key.pfx" gives "pfx", "key.pfxold" gives "pfx" too, and
// "key.pf" gives "pf" and the NUL, which names no PKCS#12 file. A dot at the
// very start (".pfx" alone) is no extension; nor is a missing dot.
std::string KeyFileExtension(const std::string& publicKeyTmp) {
  const std::string ExtFile = TextAfterLastDot(publicKeyTmp);
  return ExtFile.substr(0, 3);
}

void PrintName(const char* label, const X509_NAME* name) {
  OpenSslTextPtr text(X509_NAME_oneline(name, nullptr, 0));
  std::cout << label << (text ? text.get() : "") << std::endl;
}

void PrintNotAfter(const X509* cert) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  ASN1_TIME_print(bio.get(), X509_get0_notAfter(cert));
  const long pending = BIO_ctrl(bio.get(), BIO_CTRL_PENDING, 0, nullptr);
  const int length = pending > 0 ? static_cast<int>(pending) : 0;
  // One byte more than pending, so the text ends in a NUL whatever was read.
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  if (length > 0) BIO_read(bio.get(), buffer.data(), length);
  std::cout << "not After " << buffer.data() << std::endl;
}

// What the user sees of the certificate before its key is used.
void PrintCertificateReport(const X509* cert) {
  PrintName("Subject Name: ", X509_get_subject_name(cert));
  PrintName("Issuer Name: ", X509_get_issuer_name(cert));
  PrintNotAfter(cert);
}

}  // namespace

bool HandleVerify(int argc, wchar_t* argv[]) {
  if (argc < 6) {
    std::cout << "Wrong input parameters" << std::endl;
    std::cout << "Must be : cspTRIL.exe verify SHA256 rsa_public_key.pem test.txt test.sig"
              << std::endl;
    return false;
  }
  const std::wstring alghoritm = argv[2];
  const std::string publicKeyTmp = WideToUtf8(argv[3]);
  const std::string inFileTmp = WideToUtf8(argv[4]);
  const std::string signFileTmp = WideToUtf8(argv[5]);
  const std::string publicKey = WithoutTrailingNul(publicKeyTmp);
  const std::string inFile = WithoutTrailingNul(inFileTmp);
  const std::string signFile = WithoutTrailingNul(signFileTmp);
  const std::string OpenSSLPath = ProgramPathForOpenSsl(argv[0]);

  // Opened here, first of the three files, and read only while it is
  // verified, a piece at a time: it may be larger than memory.
  InputFile srcTxt(inFile);
  std::string publicKeyPEM;
  const SecretString pfxPassword = PasswordArgument(argc, argv);  // absent: the empty one
  const std::string fileExt = KeyFileExtension(publicKeyTmp);
  // PKCS#12 bytes hold the private key too, if under a password.
  const SecretString fileData = ReadSecretFile(publicKey);

  if (IsPkcs12Extension(fileExt)) {
    std::cout << "PFX is used" << std::endl;
    const X509Ptr cert(PfxToCertificate(fileData.value(), pfxPassword.value()));
    if (!cert) {
      std::cout << "Can not read certificate from PFX" << std::endl;
      return false;
    }
    PrintCertificateReport(cert.get());
    publicKeyPEM = CertificateToPublicKeyPem(cert.get());
  } else {
    publicKeyPEM = fileData.value();  // a public key: this copy may stay
  }
  if (publicKeyPEM.empty()) {
    std::cout << "Error get public key" << std::endl;
    return false;
  }
  const std::string signature = ReadFileToString(signFile);

  // The word is judged only now, after every file has been read.
  std::string var_alg;
  if (alghoritm == L"SHA256") {
    std::cout << "RSA Sha256 sign algoritm" << std::endl;
    var_alg = "SHA256";
  } else if (alghoritm == L"GOST") {
    std::cout << "Gost R 3411-2012 sign algoritm" << std::endl;
    var_alg = "md_gost12_256";
  } else {
    std::cout << "Wrong digest algoritm" << std::endl;
    return false;
  }
  const bool verified = VerifySignature(OpenSSLPath, publicKeyPEM, var_alg, srcTxt, signature);
  std::cout << (verified ? "Verification OK" : "Verification Failed") << std::endl;
  return verified;
}
