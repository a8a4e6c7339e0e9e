#include "keys/rsa_keys.h"

#include <openssl/rsa.h>

#include "common/handles.h"
#include "common/report.h"
#include "keys/key_pair_files.h"

namespace {

void ReportRsaFile(KeyFileFailure failure, bool privateFile, const std::string& path) {
  const char* const half = privateFile ? "private" : "public";
  if (failure == KeyFileFailure::Render) {
    ReportFailure("Failed to write " + std::string(half) + " key to BIO.");
    ReportFailure("Failed to retrieve " + std::string(half) + " key as string.");
  } else {
    ReportFailure("Failed to open file for " + std::string(half) + " key: " + path);
  }
}

// Text files: lines end as the system's text files end them.
constexpr KeyPairStyle kRsaFiles{Mode::Text, ReportRsaFile};

}  // namespace

EVP_PKEY* GenerateRsaKey(int bits) {
  PkeyCtxPtr ctx(EVP_PKEY_CTX_new_id(EVP_PKEY_RSA, nullptr));
  if (!ctx) {
    ReportFailure("Failed to create context.");
    return nullptr;
  }
  if (EVP_PKEY_keygen_init(ctx.get()) <= 0) {
    ReportFailure("Key generation initialization failed.");
    return nullptr;
  }
  if (EVP_PKEY_CTX_set_rsa_keygen_bits(ctx.get(), bits) <= 0) {
    ReportFailure("Setting key size failed.");
    return nullptr;
  }
  EVP_PKEY* pkey = nullptr;
  if (EVP_PKEY_keygen(ctx.get(), &pkey) <= 0) {
    ReportFailure("Key generation failed.");
    return nullptr;
  }
  return pkey;
}

bool GenerateAndSaveRsaKeys(int bits, const std::string& privateKeyPath,
                            const std::string& publicKeyPath) {
  const PkeyPtr pkey(GenerateRsaKey(bits));
  if (!pkey) {
    ReportFailure("Failed to generate RSA Key.");
    return false;
  }
  return WriteKeyPair(pkey.get(), privateKeyPath, publicKeyPath, kRsaFiles);
}
