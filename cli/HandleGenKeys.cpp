#include <iostream>
#include <stdexcept>
#include <string>

#include "cli/entry.h"
#include "cli/handlers.h"
#include "keys/gost_keys.h"
#include "keys/rsa_keys.h"
#include "platform/platform.h"

namespace {

constexpr DWORD kMaxPath = 260;

// The key size as the user typed it: leading blanks, an optional sign, then
// digits up to the first other character ("1024abc" is 1024). Anything that
// does not start that way, or does not fit an int, is told on standard error
// and gives false: there is no sensible size to go on with, and no key is made.
bool ReadBitSize(const std::wstring& bitSizeStr, int& bitSize) {
  const char* problem = nullptr;
  try {
    bitSize = std::stoi(bitSizeStr, nullptr, 10);
    return true;
  } catch (const std::invalid_argument&) {
    problem = "it is not a decimal number";
  } catch (const std::out_of_range&) {
    problem = "it is out of range";
  }
  std::cerr << "Invalid RSA key size: \"" << WithoutTrailingNul(WideToUtf8(bitSizeStr)) << "\" ("
            << problem << ")" << std::endl;
  return false;
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
    if (!ReadBitSize(bitSizeStr, bitSize)) return false;
    std::cout << "BitSize: " << bitSize << std::endl;
    if (!OutputFolder(argc, argv, 4, folder)) return PrintResult(false);
    const std::string RSAPrivKey = folder + kPathSeparator + "rsa_private_key.pem";
    const std::string RSAPubKey = folder + kPathSeparator + "rsa_public_key.pem";
    std::cout << "RSA private key is " << RSAPrivKey << std::endl;
    std::cout << "RSA public key is " << RSAPubKey << std::endl;
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
    return PrintResult(GenerateAndSaveGostKeys(OpenSSLPath, gostPrivKey, gostPubKey));
  }
  std::cout << "Algoritm is Missing" << std::endl;
  return false;
}
