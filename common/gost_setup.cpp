// Engines are deprecated in OpenSSL 3 and gone in 4; a user's configuration
// may still load the GOST engine where they exist.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "common/gost_setup.h"

#include <openssl/crypto.h>
#include <openssl/opensslv.h>
#if OPENSSL_VERSION_MAJOR < 4
#include <openssl/engine.h>
#endif

#include <openssl/pem.h>

#include <cstring>

#include "common/handles.h"
#include "common/report.h"

namespace {

bool Reported(const std::string& failure) {
  return ReportFailure("GOST is not available: " + failure);
}

// Set up once; the provider the default context got stays loaded until exit,
// released ahead of the library's own clean-up (it is made after the
// library's initialisation has registered that).
const std::string& DefaultContextFailure() {
  static ProviderPtr provider;
  static const std::string failure = [] {
    OSSL_PROVIDER* loaded = nullptr;
    std::string why = GostWayInto(nullptr, loaded);
    provider.reset(loaded);
    return why;
  }();
  return failure;
}

bool prepared = false;

}  // namespace

bool UseListedGostEngine() {
#if OPENSSL_VERSION_MAJOR < 4
  // The list is walked rather than asked by id, which would fall back on
  // loading a module from the engines folder.
  for (ENGINE* engine = ENGINE_get_first(); engine != nullptr; engine = ENGINE_get_next(engine)) {
    if (std::strcmp(ENGINE_get_id(engine), "gost") != 0) continue;
    const bool registered = ENGINE_set_default(engine, ENGINE_METHOD_ALL) == 1;
    ENGINE_free(engine);
    return registered;
  }
#endif
  return false;
}

std::string OpenSslVersion() {
  return std::string("OpenSSL ") + OpenSSL_version(OPENSSL_VERSION_STRING);
}

bool PrepareGost(bool report) {
  const std::string& failure = DefaultContextFailure();
  prepared = failure.empty();
  return prepared || (report && Reported(failure));
}

bool GostPrepared() { return prepared; }

bool GostInstalled(bool report) {
  const std::string missing = GostWayMissing();
  return missing.empty() || (report && Reported(missing));
}

bool GostServesEveryContext() { return kGostWayServesEveryContext; }

// Not when the text held no PEM block of the kind, nor when a pass phrase
// did not open it (each read would cost its key derivation again).
bool FailureMayBeGosts() {
  for (const unsigned long error : {ERR_peek_error(), ERR_peek_last_error()}) {
    const int reason = ERR_GET_REASON(error);
    if (ERR_GET_LIB(error) == ERR_LIB_PEM &&
        (reason == PEM_R_NO_START_LINE || reason == PEM_R_BAD_PASSWORD_READ ||
         reason == PEM_R_BAD_DECRYPT)) {
      return false;
    }
    if (reason == EVP_R_BAD_DECRYPT) return false;
  }
  return true;
}

bool LoadGostInto(OSSL_LIB_CTX* context, OSSL_PROVIDER*& loaded) {
  const std::string failure = GostWayInto(context, loaded);
  return failure.empty() || Reported(failure);
}
