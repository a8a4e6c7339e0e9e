#include <algorithm>
#include <iostream>
#include <string>

#include "cli/entry.h"
#include "cli/handlers.h"
#include "common/file_writer.h"
#include "common/report.h"
#include "keys/gost_keys.h"
#include "keys/rsa_keys.h"
#include "platform/platform.h"

namespace {

constexpr DWORD kMaxPath = 260;
constexpr int kMinRsaBits = 1024, kMaxRsaBits = 16384;

// The key size: a whole decimal number within the sizes worth generating
// (anything smaller is broken today, anything larger takes hours). Anything
// else is told on standard error and gives false, before any file is touched.
bool ReadBitSize(const std::wstring& bitSizeStr, int& bitSize) {
  bitSize = 0;
  bool whole = !bitSizeStr.empty();
  for (const wchar_t digit : bitSizeStr) {
    whole = whole && digit >= L'0' && digit <= L'9';
    if (!whole) break;
    bitSize = std::min(bitSize * 10 + (digit - L'0'), kMaxRsaBits + 1);  // no overflow
  }
  return (whole && bitSize >= kMinRsaBits && bitSize <= kMaxRsaBits) ||
         ReportFailure("Invalid RSA key size: " + WithoutTrailingNul(WideToUtf8(bitSizeStr)) +
                       " (a whole number from " + std::to_string(kMinRsaBits) + " to " +
                       std::to_string(kMaxRsaBits) + ")");
}

// The folder argument when there is one, else the current directory. False
// (with a line on standard error) when the current directory cannot be had
// or is longer than the console system allows.
bool OutputFolder(int argc, wchar_t* argv[], int folderIndex, std::string& folder) {
  if (argc > folderIndex) {
    const std::string sfolder = WithoutTrailingNul(WideToUtf8(argv[folderIndex]));
    folder = sfolder;
    return true;
  }
  char currentDir[kMaxPath];
  const DWORD length = GetCurrentDirectoryA(kMaxPath, currentDir);
  if (length == 0 || length >= kMaxPath) {
    std::cerr << "Cannot determine the current directory (missing, or longer than " << kMaxPath - 1
              << " characters); name the output folder instead." << std::endl;
    return false;
  }
  folder = currentDir;
  return true;
}

bool PrintResult(bool result) {
  std::cout << "Result :" << result << std::endl;
  return result;
}

// Whether the pair may be generated here: no key is ever replaced, so a name
// of the pair that is taken already (by a file, a link, anything) ends the
// command, as does a folder that others may change, before a large key costs
// its minutes.
bool PairMayGoTo(const std::string& privateKey, const std::string& publicKey) {
  for (const std::string* path : {&privateKey, &publicKey}) {
    if (NameTaken(*path)) return ReportFailure("Key file exists: " + *path);
  }
  return FolderKeepsKeysPrivate(privateKey);
}

}  // namespace

bool HandleGenKeys(int argc, wchar_t* argv[]) {
  std::string folder;
  std::string OpenSSLPath;
  const std::wstring alghoritm = argv[2];
  OpenSSLPath = ProgramPathForOpenSsl(argv[0]);

  if (alghoritm == L"RSA") {
    std::cout << "RSA generation key" << std::endl;
    if (argc < 4) {
      std::cout << "RSA bitSize is Missing" << std::endl;
      return false;
    }
    const std::wstring bitSizeStr = argv[3];
    int bitSize = 0;
    if (!ReadBitSize(bitSizeStr, bitSize)) return PrintResult(false);
    std::cout << "BitSize: " << bitSize << std::endl;
    if (!OutputFolder(argc, argv, 4, folder)) return PrintResult(false);
    const std::string RSAPrivKey = folder + kPathSeparator + "rsa_private_key.pem";
    const std::string RSAPubKey = folder + kPathSeparator + "rsa_public_key.pem";
    std::cout << "RSA private key is " << RSAPrivKey << std::endl;
    std::cout << "RSA public key is " << RSAPubKey << std::endl;
    if (!PairMayGoTo(RSAPrivKey, RSAPubKey)) return PrintResult(false);
    return PrintResult(GenerateAndSaveRsaKeys(bitSize, RSAPrivKey, RSAPubKey));
  }
  if (alghoritm == L"GOST") {
    std::cout << "GOST generation key" << std::endl;
    if (!OutputFolder(argc, argv, 3, folder)) return PrintResult(false);
    std::cout << "Folder is " << folder << std::endl;
    const std::string gostPrivKey = folder + kPathSeparator + "gost_private_key.pem";
    const std::string gostPubKey = folder + kPathSeparator + "gost_public_key.pem";
    std::cout << "GOST private key is " << gostPrivKey << std::endl;
    std::cout << "GOST public key is " << gostPubKey << std::endl;
    if (!PairMayGoTo(gostPrivKey, gostPubKey)) return PrintResult(false);
    return PrintResult(GenerateAndSaveGostKeys(OpenSSLPath, gostPrivKey, gostPubKey));
  }
  std::cout << "Algoritm is Missing" << std::endl;
  return false;
}
