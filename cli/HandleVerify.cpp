#include <openssl/bio.h>
#include <openssl/x509.h>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/entry.h"
#include "cli/handlers.h"
#include "codec/signature_record.h"
#include "common/algorithm_words.h"
#include "common/files.h"
#include "common/handles.h"
#include "common/pem.h"
#include "common/x509_name.h"
#include "pkcs12/PFX_parser.h"
#include "pkcs12/pfx_extension.h"
#include "signing/verify_engine.h"

namespace {

void PrintName(const char* label, const X509_NAME* name) {
  std::cout << label << NameLine(name) << std::endl;
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
  const SecretString pfxPassword = PasswordArgument(argc, argv);  // absent: the empty one
  // PKCS#12 bytes hold the private key too, if under a password; a PEM file
  // may be a private key given by mistake.
  const SecretString fileData = ReadSecretFile(publicKey);

  X509Ptr cert;
  PkeyPtr key;
  if (IsPkcs12KeyFile(publicKey)) {
    std::cout << "PFX is used" << std::endl;
    cert.reset(PfxToCertificate(fileData.value(), pfxPassword.value()));
    if (!cert) {
      std::cout << "Can not read certificate from PFX" << std::endl;
      return false;
    }
    key.reset(CertificatePublicKey(cert.get()));
  } else {
    key.reset(KeyFileToPublicKey(fileData.value(), &cert));
  }
  if (cert) PrintCertificateReport(cert.get());
  // A file that gave no key (a private key, a bundle, text) leaves nothing to check with.
  if (!key) {
    std::cout << "Error get public key" << std::endl;
    return false;
  }
  const std::optional<std::string> signature = SignatureInFile(ReadFileToString(signFile));

  // The word is judged only now, after every file has been read.
  const AlgorithmWord* row = FindAlgorithmWord(alghoritm);
  if (row == nullptr) {
    std::cout << "Wrong digest algoritm" << std::endl;
    return false;
  }
  std::cout << row->signAnnouncement << std::endl;
  // A record whose signature is no Base64 text fails without a look at the data.
  const bool verified =
      signature && VerifySignature(OpenSSLPath, key.get(), row->digest, srcTxt, *signature);
  std::cout << (verified ? "Verification OK" : "Verification Failed") << std::endl;
  return verified;
}
