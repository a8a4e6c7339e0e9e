#include <cstddef>
#include <iostream>
#include <string>

#include "cli/entry.h"
#include "cli/handlers.h"
#include "common/algorithm_words.h"
#include "common/files.h"
#include "pkcs12/pfx_extension.h"
#include "signing/sign_engine.h"

namespace {

// Writes the record exactly as printed, without a line end, replacing any
// earlier content; a file that cannot be written is reported on standard error.
bool WriteSignatureFile(const std::string& path, const char* bytes, std::size_t count) {
  if (!WriteStringToFile(path, std::string(bytes, count))) return false;
  std::cout << "Signature written to " << path.c_str() << std::endl;
  return true;
}

}  // namespace

bool HandleSign(int argc, wchar_t* argv[]) {
  const std::wstring alghoritm = argv[2];
  if (argc < 5) {
    std::cout << "Private key file or input file is not set" << std::endl;
    return false;
  }
  const std::string privateKeyTmp = WideToUtf8(argv[3]);
  const std::string inFileTmp = WideToUtf8(argv[4]);
  const std::string outFile = OptionalArgument(argc, argv, 5);  // empty: no file
  const std::string privateKeyFile = WithoutTrailingNul(privateKeyTmp);
  const std::string inFile = WithoutTrailingNul(inFileTmp);
  if (OutputIsAnInput(outFile, {privateKeyFile, inFile})) return false;
  // The PKCS#12 password, or the pass phrase of an encrypted PEM key.
  const SecretString pfxPassword = PasswordArgument(argc, argv);

  std::cout << "Private key path is " << privateKeyFile << std::endl;
  const std::string OpenSSLPath = ProgramPathForOpenSsl(argv[0]);

  // Opened here, among the files the command reads, and read only while it
  // is signed, a piece at a time: it may be larger than memory.
  InputFile srcTxt(inFile);
  const SecretString privateKeyPEM = ReadSecretFile(privateKeyFile);

  const AlgorithmWord* row = FindAlgorithmWord(alghoritm);
  if (row == nullptr) {
    std::cout << "Algoritm is Missing" << std::endl;
    return false;
  }
  std::cout << row->signAnnouncement << std::endl;

  const std::string signature =
      SignData(OpenSSLPath, privateKeyPEM.value(), row->digest, srcTxt, pfxPassword.value(),
               IsPkcs12KeyFile(privateKeyFile) ? privateKeyFile : std::string());
  if (signature.empty()) {
    std::cout << "Signature is error" << std::endl;
    return false;
  }
  std::cout << row->recordPrefix << signature << std::endl;
  return outFile.empty() || WriteSignatureFile(outFile, signature.data(), signature.size());
}
