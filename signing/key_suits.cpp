#include "signing/key_suits.h"

#include <openssl/objects.h>

#include <cctype>

#include "common/report.h"

namespace {

struct Suit {
  const char* digest;   // as the engines are handed it
  const char* word;     // as the command line names it
  const char* keyType;  // as KeyTypeName gives it
};

constexpr Suit kSuits[] = {
    {"SHA256", "SHA256", "RSA"},
    {"md_gost12_256", "GOST", "gost2012_256"},
};

}  // namespace

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
  for (const Suit& suit : kSuits) {
    if (digestName != suit.digest) continue;
    const std::string type = KeyTypeName(key);
    return type == suit.keyType ||
           ReportFailure(std::string("Key does not suit ") + suit.word + ": " + type);
  }
  return false;  // a digest no word names suits no key
}
