#include "csr/csr_builder.h"

#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <iostream>
#include <sstream>

#include "common/algorithm_words.h"
#include "common/files.h"
#include "common/handles.h"
#include "common/pem.h"
#include "common/report.h"
#include "common/secret.h"

namespace {

struct ExtensionRequest {
  const char* name;
  const char* value;
};

// Every request asks for an end-entity certificate usable for signing and
// for key transport; neither extension is marked critical.
constexpr ExtensionRequest kExtensionRequests[] = {
    {"basicConstraints", "CA:FALSE"},
    {"keyUsage", "digitalSignature,keyEncipherment"},
};

}  // namespace

void ParseSubject(X509_NAME* name, const std::string& subject) {
  std::istringstream stream(subject);
  std::string token;
  while (std::getline(stream, token, '/')) {
    const std::string::size_type equals = token.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = token.substr(0, equals);
    const std::string value = token.substr(equals + 1);
    // Values are UTF-8, as every argument is. Bytes that are not UTF-8 (a Linux terminal in
    // another character set) are taken one letter each, as before. A refused entry (unknown
    // field, bad value) is simply left out.
    const auto* const bytes = reinterpret_cast<const unsigned char*>(value.c_str());
    if (X509_NAME_add_entry_by_txt(name, key.c_str(), MBSTRING_UTF8, bytes, -1, -1, 0) != 1) {
      X509_NAME_add_entry_by_txt(name, key.c_str(), MBSTRING_ASC, bytes, -1, -1, 0);
    }
  }
}

std::string GenerateCsr(const std::string& digestName, const std::string& privateKeyPath,
                        const std::string& publicKeyPath, const std::string& subject) {
  OPENSSL_init_crypto(OPENSSL_INIT_ADD_ALL_CIPHERS | OPENSSL_INIT_ADD_ALL_DIGESTS, nullptr);
  OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);

  const SecretString privateKeyPEM = ReadSecretFile(privateKeyPath);
  const std::string publicKeyPEM = ReadFileToString(publicKeyPath);

  // Owners are declared so that scope releases the BIO first, then the
  // request, the name, the extension list, the public and the private key.
  PkeyPtr privateKey(PemToPrivateKey(privateKeyPEM.value()));
  if (!privateKey) return {};
  PkeyPtr publicKey(PemToPublicKey(publicKeyPEM));
  // A request signed by one key and carrying another would fail its own
  // signature check wherever it is sent.
  if (publicKey && EVP_PKEY_eq(publicKey.get(), privateKey.get()) != 1) {
    ReportFailure("Public key does not match private key");
    return {};
  }
  ExtensionStackPtr extensions;
  X509NamePtr name;

  X509ReqPtr request(X509_REQ_new());
  if (!request || X509_REQ_set_pubkey(request.get(), privateKey.get()) != 1) {
    std::cout << "Error set public key" << std::endl;
    return {};
  }

  name.reset(X509_NAME_new());
  if (!name) return {};
  ParseSubject(name.get(), subject);
  X509_REQ_set_subject_name(request.get(), name.get());

  // The public key file's key, the same as the private key's public half set
  // above; when that file held none, the library refuses and that half stays.
  X509_REQ_set_pubkey(request.get(), publicKey.get());

  extensions.reset(sk_X509_EXTENSION_new_null());
  X509V3_CTX ctx{};
  X509V3_set_ctx_nodb(&ctx);
  for (const ExtensionRequest& wanted : kExtensionRequests) {
    X509_EXTENSION* extension = X509V3_EXT_conf(nullptr, &ctx, wanted.name, wanted.value);
    if (extension != nullptr && sk_X509_EXTENSION_push(extensions.get(), extension) <= 0) {
      X509_EXTENSION_free(extension);
    }
  }
  if (sk_X509_EXTENSION_num(extensions.get()) > 0) {
    X509_REQ_add_extensions(request.get(), extensions.get());
  }

  // An empty or unknown name gives no digest; the library then uses the
  // key type's default where it has one, and signing fails where it has none.
  const MdPtr digest = DigestByName(digestName);
  if (X509_REQ_sign(request.get(), privateKey.get(), digest.get()) <= 0) return {};

  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_X509_REQ(bio.get(), request.get()) != 1) return {};
  return MemoryBioContents(bio.get());
}
