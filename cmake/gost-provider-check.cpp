// Run at configure time: exits 0 when the library's modules folder holds a
// GOST provider with key management and signatures for GOST R 34.10-2012
// 256-bit keys (some releases' provider has digests alone).
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstdio>
#include <string>

int main() {
  OSSL_LIB_CTX* context = OSSL_LIB_CTX_new();
  const std::string module = std::string(OPENSSL_info(OPENSSL_INFO_MODULES_DIR)) + "/gostprov" +
                             OPENSSL_info(OPENSSL_INFO_DSO_EXTENSION);
  if (context == nullptr || OSSL_PROVIDER_load(context, module.c_str()) == nullptr) {
    std::printf("no provider %s", module.c_str());
    return 1;
  }
  EVP_KEYMGMT* keys = EVP_KEYMGMT_fetch(context, "gost2012_256", nullptr);
  EVP_SIGNATURE* signatures = EVP_SIGNATURE_fetch(context, "gost2012_256", nullptr);
  std::printf("%s%s", module.c_str(),
              keys == nullptr         ? " has no gost2012_256 keys"
              : signatures == nullptr ? " has no gost2012_256 signatures"
                                      : "");
  return keys != nullptr && signatures != nullptr ? 0 : 2;
}
