#include <iostream>
#include <string>

#include "cli/entry.h"
#include "cli/handlers.h"
#include "common/algorithm_words.h"
#include "common/files.h"
#include "common/report.h"
#include "csr/csr_builder.h"

bool HandleCsr(int argc, wchar_t* argv[]) {
  if (argc < 6) {
    std::cout << "Wrong input parameters" << std::endl;
    std::cout << CsrExample(true) << std::endl;
    std::cout << CsrExample(false) << std::endl;
    return false;
  }

  const std::wstring alghoritm = argv[2];
  const std::string privateKeyTmp = WideToUtf8(argv[3]);
  const std::string publicKeyTmp = WideToUtf8(argv[4]);
  const std::string subjectTmp = WideToUtf8(argv[5]);

  const std::string outFile = OptionalArgument(argc, argv, 6);

  const std::string privateKey = WithoutTrailingNul(privateKeyTmp);
  const std::string publicKey = WithoutTrailingNul(publicKeyTmp);
  const std::string subject = WithoutTrailingNul(subjectTmp);
  if (OutputIsAnInput(outFile, {privateKey, publicKey})) return false;

  // Any other word, in any other case, names no digest: no request is made.
  std::string sign_algoritm;
  if (const AlgorithmWord* row = FindAlgorithmWord(alghoritm)) {
    std::cout << row->csrAnnouncement << std::endl;
    sign_algoritm = row->digest;
  } else {
    ReportFailure("Unknown algorithm word: " + WithoutTrailingNul(WideToUtf8(alghoritm)));
  }

  const std::string csr = sign_algoritm.empty()
                              ? std::string()
                              : GenerateCsr(sign_algoritm, privateKey, publicKey, subject);
  std::cout << "CSR:" << csr << std::endl;
  // A failed build leaves nothing to save: no empty request file is made,
  // and an earlier file of that name is left as it was.
  if (csr.empty()) return false;
  if (outFile.empty()) return true;
  if (!WriteStringToFile(outFile, csr)) return false;
  // Announced once the file is there; the line has no line end.
  std::cout << "CSR saved to file " << outFile << std::flush;
  return true;
}
