#include "pkcs12/pfx_extension.h"

bool IsPkcs12Extension(const std::string& extension) {
  std::string start = extension.substr(0, 3);
  // ASCII's letter case alone: no byte of a UTF-8 letter turns into one of these.
  for (char& c : start) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return start == "pfx" || start == "p12";
}
