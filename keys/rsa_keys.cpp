#include "keys/rsa_keys.h"

#include <openssl/pem.h>
#include <openssl/rsa.h>

#include "common/file_writer.h"
#include "common/handles.h"
#include "common/report.h"
#include "common/secret.h"

namespace {

// Renders a key through a memory BIO; `write` must give exactly 1 on success.
template <typename Writer>
std::string RenderPem(EVP_PKEY* pkey, Writer write, const char* writeFailure) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio) {
    ReportFailure("Failed to create BIO.");
    return {};
  }
  if (write(bio.get(), pkey) != 1) {
    ReportFailure(writeFailure);
    return {};
  }
  return MemoryBioContents(bio.get());
}

constexpr char kPrivateFailure[] = "Failed to open file for private key: ";
constexpr char kPublicFailure[] = "Failed to open file for public key: ";

// The key files are text files; whatever keeps one from being made whole is
// told with its one line.
bool PrepareKeyFile(PreparedFile& file, const std::string& text, const std::string& path,
                    Access access, const char* failure) {
  return file.Prepare(path, text, access, Mode::Text) == WriteOutcome::Written ||
         ReportFailure(failure + path);
}

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

std::string PrivateKeyToPem(EVP_PKEY* pkey) {
  // No cipher and no pass phrase: unencrypted PKCS#8.
  std::string privateKey = RenderPem(
      pkey,
      [](BIO* bio, EVP_PKEY* key) {
        return PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
      },
      "Failed to write private key to BIO.");
  return privateKey;
}

std::string PublicKeyToPem(EVP_PKEY* pkey) {
  std::string publicKey = RenderPem(
      pkey, [](BIO* bio, EVP_PKEY* key) { return PEM_write_bio_PUBKEY(bio, key); },
      "Failed to write public key to BIO.");
  return publicKey;
}

bool GenerateAndSaveRsaKeys(int bits, const std::string& privateKeyPath,
                            const std::string& publicKeyPath) {
  const PkeyPtr pkey(GenerateRsaKey(bits));
  if (!pkey) {
    ReportFailure("Failed to generate RSA Key.");
    return false;
  }
  const SecretString privateKeyStr(PrivateKeyToPem(pkey.get()));
  if (privateKeyStr.value().empty()) {
    ReportFailure("Failed to retrieve private key as string.");
    return false;
  }
  const std::string publicKeyStr = PublicKeyToPem(pkey.get());
  if (publicKeyStr.empty()) {
    ReportFailure("Failed to retrieve public key as string.");
    return false;
  }
  // Both files whole beside their places before either is moved there.
  PreparedFile privateFile, publicFile;
  if (!PrepareKeyFile(privateFile, privateKeyStr.value(), privateKeyPath, Access::OwnerOnly,
                      kPrivateFailure) ||
      !PrepareKeyFile(publicFile, publicKeyStr, publicKeyPath, Access::Ordinary, kPublicFailure)) {
    return false;
  }
  const PreparedFile* unmoved = MovePairIntoPlace(privateFile, publicFile);
  return unmoved == nullptr ||
         ReportFailure((unmoved == &privateFile ? kPrivateFailure : kPublicFailure) +
                       unmoved->path());
}
