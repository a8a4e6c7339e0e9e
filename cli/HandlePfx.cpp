#include <iostream>
#include <string>

#include "cli/entry.h"
#include "cli/handlers.h"
#include "pkcs12/PFX_parser.h"

// PFX private_key.pem cert.pem outfile.pfx password [cacert.pem [friendlyname]]
bool HandlePfx(int argc, wchar_t* argv[]) {
  if (argc < 6) {
    std::cout << "Wrong input parameters" << std::endl;
    std::cout << "Must be : cspTRIL.exe PFX private_key.pem cert.pem outfile.pfx pfxpassword "
                 "cacert.pem friendlyname"
              << std::endl;
    return false;
  }
  const std::string privateKeyTmp = WideToUtf8(argv[2]);
  const std::string certTmp = WideToUtf8(argv[3]);
  const std::string outFileTmp = WideToUtf8(argv[4]);

  // An empty CA argument means no CA certificate, as an absent one does.
  const std::string cacert = OptionalArgument(argc, argv, 6);
  const std::string friendlyname = OptionalArgument(argc, argv, 7);
  const std::string cert = WithoutTrailingNul(certTmp);
  const std::string key = WithoutTrailingNul(privateKeyTmp);
  const std::string outFile = WithoutTrailingNul(outFileTmp);
  if (OutputIsAnInput(outFile, {key, cert, cacert})) return false;
  // Converted and stripped in place, into the holder that wipes it.
  const SecretString pass = PasswordArgument(argc, argv);

  const bool result = GeneratePkcs12(cert, key, cacert, pass.value(), friendlyname, outFile);
  if (result) {
    std::cout << "Generate PKCS12 OK" << result << std::endl;
    std::cout << "data saved to PKCS12 file " << outFile << std::endl;
  } else {
    std::cout << "Generate PKCS12 failed" << result << std::endl;
  }
  return result;
}
