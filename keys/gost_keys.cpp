// The engine's keys are reached through the interface it implements, which
// is deprecated, not gone.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "keys/gost_keys.h"

#include <openssl/ec.h>
#include <openssl/err.h>

#include <iostream>

#include "common/algorithm_words.h"
#include "common/gost_setup.h"
#include "common/handles.h"
#include "common/report.h"
#include "keys/key_pair_files.h"

namespace {

void ReportGostFile(KeyFileFailure failure, bool /*privateFile*/, const std::string& path) {
  if (failure == KeyFileFailure::Render) {
    PrintOpenSslErrors();
    ReportFailure("Failed to convert key to PEM format.");
  } else if (failure == KeyFileFailure::Refused) {
    std::cout << "Error opening file for writing: " << path.c_str() << std::endl;
  } else {
    ReportFailure("Error writing to file.");
  }
}

// Binary files: the library's LF line ends reach them unchanged.
constexpr KeyPairStyle kGostFiles{Mode::Binary, ReportGostFile};

// The engine reports a generation whose random numbers could not be drawn
// (a configuration may leave the library without a random source) as a
// success, with a key that has no private part; writing such a key would
// crash inside the engine. A provider's key is whole when it is made.
bool HasPrivatePart(EVP_PKEY* key) {
  if (EVP_PKEY_get0_provider(key) != nullptr) return true;
  const EC_KEY* ec = static_cast<const EC_KEY*>(EVP_PKEY_get0(key));
  return ec != nullptr && EC_KEY_get0_private_key(ec) != nullptr;
}

}  // namespace

void PrintOpenSslErrors() {
  while (const unsigned long code = ERR_get_error()) {
    std::cerr << "OpenSSL Error: " << ERR_error_string(code, nullptr) << std::endl;
  }
}

// NOLINTNEXTLINE(performance-unnecessary-value-param): the command hands over a copy
bool GenerateAndSaveGostKeys(std::string OpenSSLPath, const std::string& privateKeyPath,
                             const std::string& publicKeyPath) {
  // Released in the reverse of this order: generation context, key, GOST's
  // provider, provider, library context.
  LibCtxPtr libCtx(OSSL_LIB_CTX_new());
  ProviderPtr provider;
  ProviderPtr gost;
  PkeyPtr key;
  PkeyCtxPtr ctx;

  if (!libCtx) {
    ReportFailure("Failed to create OpenSSL library context.");
    return false;
  }
  if (OSSL_PROVIDER_set_default_search_path(libCtx.get(), OpenSSLPath.c_str()) != 1) {
    ReportFailure("Failed to set OpenSSL provider search path.");
    return false;
  }
  OPENSSL_init_crypto(OPENSSL_INIT_ADD_ALL_CIPHERS | OPENSSL_INIT_ADD_ALL_DIGESTS, nullptr);
  provider.reset(OSSL_PROVIDER_load(libCtx.get(), "default"));
  if (!provider) {
    ReportFailure("Failed to load OpenSSL provider.");
    return false;
  }
  OSSL_PROVIDER* gostProvider = nullptr;
  if (!LoadGostInto(libCtx.get(), gostProvider)) return false;
  gost.reset(gostProvider);

  ctx.reset(EVP_PKEY_CTX_new_from_name(libCtx.get(), GostWord().keyType, nullptr));
  if (!ctx) {
    PrintOpenSslErrors();
    ReportFailure("Error creating context for GOST key.");
    return false;
  }
  // Not looked at: a refusal shows up at the generation steps, and a provider
  // that makes keys without this step leaves only its errors, dropped here.
  ERR_set_mark();
  EVP_PKEY_paramgen_init(ctx.get());
  ERR_pop_to_mark();
  // The parameter set by its name, which the engine and the provider both
  // take; set after the generation's own set-up, which a provider starts
  // afresh. A key on another set than the one asked for is never made.
  if (EVP_PKEY_keygen_init(ctx.get()) <= 0 ||
      EVP_PKEY_CTX_ctrl_str(ctx.get(), "paramset", "TCB") <= 0) {
    PrintOpenSslErrors();
    ReportFailure("Error initializing key generation.");
    return false;
  }
  EVP_PKEY* generated = nullptr;
  const int generatedOk = EVP_PKEY_keygen(ctx.get(), &generated);
  key.reset(generated);
  if (generatedOk <= 0 || !HasPrivatePart(key.get())) {
    PrintOpenSslErrors();
    ReportFailure("Error generating GOST key.");
    return false;
  }

  return WriteKeyPair(key.get(), privateKeyPath, publicKeyPath, kGostFiles);
}
