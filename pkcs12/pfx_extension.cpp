#include "pkcs12/pfx_extension.h"

bool IsPkcs12KeyFile(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot == 0) return false;
  std::string start = path.substr(dot + 1, 3);
  // ASCII's letter case alone: no byte of a UTF-8 letter turns into one of these.
  for (char& c : start) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return start == "pfx" || start == "p12";
}
