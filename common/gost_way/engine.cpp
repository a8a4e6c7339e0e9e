// GOST by the engine built into the program: the way of the builds whose
// library has no GOST provider with keys and signatures (Debian 12 and 13,
// the Windows program). The engine serves every library context.

// The engine interface is deprecated, not gone, in the libraries these builds use.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/engine.h>

#include "common/gost_setup.h"

// A C header without C++ guards.
extern "C" {
#include "gost-engine.h"
}

namespace {

// The engine a configuration loaded serves as it is; else the built-in one is
// added to the list.
std::string RegisterEngine() {
  if (UseListedGostEngine()) return {};
  ENGINE_load_gost();
  return UseListedGostEngine() ? ""
                               : "the built-in GOST engine does not start in " + OpenSslVersion();
}

}  // namespace

std::string GostWayInto(OSSL_LIB_CTX* /*context*/, OSSL_PROVIDER*& loaded) {
  loaded = nullptr;
  ERR_set_mark();  // the set-up's own errors are no command's
  static const std::string failure = RegisterEngine();
  ERR_pop_to_mark();
  return failure;
}

std::string GostWayMissing() { return {}; }  // built in

const bool kGostWayServesEveryContext = true;
