#include "keys/key_pair_files.h"

#include <openssl/pem.h>

#include "common/handles.h"
#include "common/secret.h"

namespace {

// Renders a key through a memory BIO; `write` gives 1 on success.
template <typename Writer>
std::string RenderPem(EVP_PKEY* key, Writer write) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || write(bio.get(), key) != 1) return {};
  return MemoryBioContents(bio.get());
}

bool Prepare(PreparedFile& file, const std::string& text, const std::string& path, Access access,
             const KeyPairStyle& style) {
  const bool privateFile = access == Access::OwnerOnly;
  if (text.empty()) {
    style.report(KeyFileFailure::Render, privateFile, path);
    return false;
  }
  const WriteOutcome outcome = file.Prepare(path, text, access, style.mode);
  if (outcome == WriteOutcome::Refused) style.report(KeyFileFailure::Refused, privateFile, path);
  if (outcome == WriteOutcome::FailedAfterCreating) {
    style.report(KeyFileFailure::Failed, privateFile, path);
  }
  return outcome == WriteOutcome::Written;
}

}  // namespace

std::string PrivateKeyToPem(EVP_PKEY* key) {
  // No cipher and no pass phrase: unencrypted PKCS#8.
  return RenderPem(key, [](BIO* bio, EVP_PKEY* pkey) {
    return PEM_write_bio_PrivateKey(bio, pkey, nullptr, nullptr, 0, nullptr, nullptr);
  });
}

std::string PublicKeyToPem(EVP_PKEY* key) {
  return RenderPem(key, [](BIO* bio, EVP_PKEY* pkey) { return PEM_write_bio_PUBKEY(bio, pkey); });
}

bool WriteKeyPair(EVP_PKEY* key, const std::string& privateKeyPath,
                  const std::string& publicKeyPath, const KeyPairStyle& style) {
  const SecretString privateText(PrivateKeyToPem(key));
  const std::string publicText = PublicKeyToPem(key);
  PreparedFile privateFile, publicFile;
  if (!Prepare(privateFile, privateText.value(), privateKeyPath, Access::OwnerOnly, style) ||
      !Prepare(publicFile, publicText, publicKeyPath, Access::Ordinary, style)) {
    return false;
  }
  const PreparedFile* unmoved = MovePairToFreeNames(privateFile, publicFile);
  if (unmoved == nullptr) return true;
  style.report(KeyFileFailure::Failed, unmoved == &privateFile, unmoved->path());
  return false;
}
