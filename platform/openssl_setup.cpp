#include "platform/openssl_setup.h"

#include <openssl/conf.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/provider.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace {

// The library's reason for the first error it queued (the one that set off
// the rest), or an empty text.
std::string FirstLibraryReason() {
  const unsigned long error = ERR_peek_error();
  if (ERR_SYSTEM_ERROR(error)) return std::strerror(ERR_GET_REASON(error));
  const char* reason = ERR_reason_error_string(error);
  return reason != nullptr ? reason : "";
}

// The default provider in the default library context, for the whole run and
// before any configuration: one that names providers of its own would
// otherwise leave that context with none, and the GOST engine, which draws
// its random numbers there, with no random numbers at all.
void KeepDefaultProvider() {
  static const std::unique_ptr<OSSL_PROVIDER, int (*)(OSSL_PROVIDER*)> provider(
      OSSL_PROVIDER_load(nullptr, "default"), &OSSL_PROVIDER_unload);
}

// The reason the configuration cannot be used, or empty once it is loaded.
// Only a regular file is read: a FIFO would wait for a writer and a device
// might never end.
std::string LoadConfiguration(const std::string& path) {
  const FileKind kind = KindOfPath(path);
  if (kind != FileKind::Regular && kind != FileKind::Missing) return "not a regular file";
  if (CONF_modules_load_file(path.c_str(), nullptr, CONF_MFLAGS_DEFAULT_SECTION) > 0) return {};
  const std::string reason = FirstLibraryReason();
  return reason.empty() ? "cannot be loaded" : reason;
}

// Named on one line when it cannot be loaded: the library keeps whatever it
// loaded before the failure, so the run must not go on with it.
bool ReadUsersConfiguration() {
  const char* named = std::getenv("OPENSSL_CONF");
  if (named == nullptr || *named == '\0') return true;
  ERR_clear_error();  // so that the first error queued is the configuration's own
  const std::string problem = LoadConfiguration(named);
  if (problem.empty()) return true;
  std::cerr << "Cannot load OpenSSL configuration " << named << ": " << problem << std::endl;
  return false;
}

bool PrepareOnce() {
  OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG | OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);
  ConfineLoadableModules();
  KeepDefaultProvider();
  // GOST is set up later, by the first command that needs it: a
  // configuration that loads the GOST engine or provider itself then serves.
  const bool configured = ReadUsersConfiguration();
  // The commands read the error queue for their own messages: nothing the
  // set-up queued stays there.
  ERR_clear_error();
  return configured;
}

}  // namespace

bool PrepareOpenSsl() {
  static const bool prepared = PrepareOnce();
  return prepared;
}
