#include "signing/key_suits.h"

#include <openssl/objects.h>

#include <cctype>

#include "common/algorithm_words.h"
#include "common/report.h"

std::string KeyTypeName(const EVP_PKEY* key) {
  if (EVP_PKEY_get0_provider(key) != nullptr) {
    const char* name = EVP_PKEY_get0_type_name(key);
    return name != nullptr ? name : "";
  }
  const char* shortName = OBJ_nid2sn(EVP_PKEY_get_base_id(key));
  std::string name = shortName != nullptr ? shortName : "";
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

bool KeySuitsDigest(const EVP_PKEY* key, const std::string& digestName) {
  const AlgorithmWord* row = WordOfDigest(digestName);
  if (row == nullptr) return false;  // a digest no word names suits no key
  const std::string type = KeyTypeName(key);
  return type == row->keyType ||
         ReportFailure("Key does not suit " + std::string(row->word) + ": " + type);
}
