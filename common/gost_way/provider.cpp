// GOST by the system's GOST provider: the way of the builds whose library
// has one with keys and signatures (Debian forky and later), and of every
// build on OpenSSL 4, which has no engines. The provider is taken from the
// library's own modules folder, never from a folder the program is run from.
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include "common/algorithm_words.h"
#include "common/gost_setup.h"
#include "platform/platform.h"

namespace {

// Key management and signatures for GOST's keys, both.
bool Offers(OSSL_LIB_CTX* context) {
  const char* keyType = GostWord().keyType;
  EVP_KEYMGMT* keys = EVP_KEYMGMT_fetch(context, keyType, nullptr);
  EVP_SIGNATURE* signatures = EVP_SIGNATURE_fetch(context, keyType, nullptr);
  const bool both = keys != nullptr && signatures != nullptr;
  EVP_KEYMGMT_free(keys);
  EVP_SIGNATURE_free(signatures);
  return both;
}

std::string Module() {
  return std::string(OPENSSL_info(OPENSSL_INFO_MODULES_DIR)) + "/gostprov" +
         OPENSSL_info(OPENSSL_INFO_DSO_EXTENSION);
}

std::string FirstReason() {
  const char* reason = ERR_reason_error_string(ERR_peek_error());
  return reason != nullptr ? std::string(": ") + reason : "";
}

}  // namespace

std::string GostWayMissing() {
  return KindOfPath(Module()) == FileKind::Regular ? ""
                                                   : "no GOST provider for " + OpenSslVersion();
}

const bool kGostWayServesEveryContext = false;

std::string GostWayInto(OSSL_LIB_CTX* context, OSSL_PROVIDER*& loaded) {
  // The one context of the run that has the provider's module.
  static OSSL_LIB_CTX* home = nullptr;
  static bool homed = false;
  loaded = nullptr;
  ERR_set_mark();  // the set-up's own errors are no command's
  std::string failure = GostWayMissing();
  const std::string module = Module();
  if (Offers(context)) {  // a user's configuration loaded the provider there
    failure.clear();
  } else if (UseListedGostEngine()) {  // or the engine, which then serves every context
    failure.clear();
  } else if (!failure.empty()) {
  } else if (homed && home != context) {
    failure = "the GOST provider " + module + " serves another library context of this run";
  } else if ((loaded = OSSL_PROVIDER_load(context, module.c_str())) == nullptr) {
    failure =
        "the GOST provider " + module + " does not load in " + OpenSslVersion() + FirstReason();
  } else if (!Offers(context)) {
    OSSL_PROVIDER_unload(loaded);
    loaded = nullptr;
    failure = "the GOST provider " + module + " has no GOST R 34.10-2012 keys and signatures for " +
              OpenSslVersion();
  } else {
    home = context;
    homed = true;
  }
  ERR_pop_to_mark();
  return failure;
}
