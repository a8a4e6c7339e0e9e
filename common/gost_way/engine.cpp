// GOST by the engine built into the program: the way of the builds whose
// library has no GOST provider with keys and signatures (Debian 12 and 13,
// the Windows program). The engine serves every library context.

// The engine interface is deprecated, not gone, in the libraries these builds use.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/engine.h>

#include <cstring>

#include "common/gost_setup.h"

// A C header without C++ guards.
extern "C" {
#include "gost-engine.h"
}

namespace {

// The engine of that id already in the library's list (a user's
// configuration may have loaded one), with a reference the caller frees; null
// when there is none. The list is walked rather than asked by id, which
// would fall back on loading a module from the engines folder.
ENGINE* ListedEngine(const char* id) {
  for (ENGINE* engine = ENGINE_get_first(); engine != nullptr; engine = ENGINE_get_next(engine)) {
    if (std::strcmp(ENGINE_get_id(engine), id) == 0) return engine;
  }
  return nullptr;
}

// The engine a configuration loaded serves as it is; else the built-in one is
// added to the list. Either is then the default for all it offers, so that
// lookups by name find it.
std::string RegisterEngine() {
  ENGINE* engine = ListedEngine("gost");
  if (engine == nullptr) {
    ENGINE_load_gost();
    engine = ListedEngine("gost");
  }
  if (engine == nullptr) return "the built-in GOST engine does not start in " + OpenSslVersion();
  const bool registered = ENGINE_set_default(engine, ENGINE_METHOD_ALL) == 1;
  ENGINE_free(engine);
  return registered ? "" : "the GOST engine cannot be registered in " + OpenSslVersion();
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
