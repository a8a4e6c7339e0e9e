// Windows start-up. The C runtime calls the tool's wmain itself (-municode),
// so the process is readied here, by a static initializer of the executable,
// before wmain runs and before the tool's first OpenSSL call.
#include <iostream>  // the standard streams exist before this file's start-up runs
#include <string>

#include "platform/platform.h"
#include "platform/windows/start.h"

// The engine interface is the only way to reach the GOST keys and signatures
// of the engine linked into this executable; it is deprecated, not gone.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/conf.h>
#include <openssl/crypto.h>
#include <openssl/engine.h>
#include <openssl/err.h>

// A C header without C++ guards.
extern "C" {
#include "gost-engine.h"
}

namespace {

// The library would otherwise read a configuration from the folder compiled
// into it: the build machine's path, which Windows resolves on the current
// drive, where any local user may create it and name an engine DLL to load.
void KeepOpenSslFromItsBuiltInPaths() {
  OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr);
}

// The GOST engine is part of this executable: registered here for every
// algorithm it implements, it serves GOST with no file beside the program.
void RegisterGostEngine() {
  ENGINE_load_gost();
  ENGINE* engine = ENGINE_by_id("gost");
  if (engine == nullptr) return;
  ENGINE_set_default(engine, ENGINE_METHOD_ALL);
  ENGINE_free(engine);
}

std::string Utf8(const wchar_t* wide) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
  text.pop_back();
  return text;
}

// A configuration the user names in OPENSSL_CONF is read as the library would
// read its default one (a missing file or a failing module is passed over),
// after the built-in engine, so that it can add to what the engine set up.
void LoadUsersOpenSslConfig() {
  const wchar_t* named = _wgetenv(L"OPENSSL_CONF");
  if (named == nullptr || *named == L'\0') return;
  const std::string path = Utf8(named);
  ERR_set_mark();
  CONF_modules_load_file(path.c_str(), nullptr,
                         CONF_MFLAGS_DEFAULT_SECTION | CONF_MFLAGS_IGNORE_MISSING_FILE |
                             CONF_MFLAGS_IGNORE_ERRORS | CONF_MFLAGS_IGNORE_RETURN_CODES);
  ERR_pop_to_mark();
}

struct ProcessStart {
  ProcessStart() {
    ShowUtf8OnConsole();
    KeepOpenSslFromItsBuiltInPaths();
    RegisterGostEngine();
    LoadUsersOpenSslConfig();
  }
};

const ProcessStart gProcessStart;

}  // namespace
