#include "signing/verify_engine.h"

#include <openssl/evp.h>
#include <openssl/provider.h>

#include "common/algorithm_words.h"
#include "common/handles.h"
#include "signing/default_provider.h"
#include "signing/key_suits.h"

bool VerifySignature(const std::string& OpenSSLPath, EVP_PKEY* key, const std::string& digestName,
                     InputFile& data, const std::string& signature) {
  OPENSSL_init_crypto(OPENSSL_INIT_ADD_ALL_CIPHERS | OPENSSL_INIT_ADD_ALL_DIGESTS, nullptr);
  // The set-up is not checked: whatever is missing shows in the final step.
  // The provider stays loaded for the rest of the run.
  OSSL_PROVIDER_set_default_search_path(nullptr, OpenSSLPath.c_str());
  LoadDefaultProviderForTheRun();

  // A key of another kind than the word's is refused before anything is read.
  if (!KeySuitsDigest(key, digestName)) return false;
  MdCtxPtr context(EVP_MD_CTX_new());
  if (!context) return false;
  // An unknown name gives a null digest, passed on: the library decides what
  // that means for the key, and the final step reports the outcome.
  const MdPtr digest = DigestByName(digestName);

  EVP_DigestVerifyInit(context.get(), nullptr, digest.get(), nullptr, key);
  // Every piece is handed on whatever the library says of the one before:
  // only the final step reports the outcome.
  data.ForEachPiece([&context](const unsigned char* bytes, std::size_t count) {
    EVP_DigestVerifyUpdate(context.get(), bytes, count);
    return true;
  });
  return EVP_DigestVerifyFinal(context.get(),
                               reinterpret_cast<const unsigned char*>(signature.data()),
                               signature.size()) == 1;
}
