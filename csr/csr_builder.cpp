#include "csr/csr_builder.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <iostream>
#include <vector>

#include "common/algorithm_words.h"
#include "common/files.h"
#include "common/handles.h"
#include "common/pem.h"
#include "common/report.h"
#include "common/secret.h"
#include "signing/key_suits.h"

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

// "\/" and "\\" stand for a slash and a backslash, as openssl req -subj writes them.
bool EscapeAt(const std::string& text, std::size_t at) {
  return text[at] == '\\' && at + 1 < text.size() && (text[at + 1] == '/' || text[at + 1] == '\\');
}

// The pieces between the slashes that are no escape's, as typed.
std::vector<std::string> SubjectPieces(const std::string& subject) {
  std::vector<std::string> pieces(1);
  for (std::size_t at = 0; at < subject.size(); ++at) {
    if (subject[at] == '/') {
      pieces.emplace_back();
      continue;
    }
    if (EscapeAt(subject, at)) pieces.back() += subject[at++];
    pieces.back() += subject[at];
  }
  return pieces;
}

std::string Unescaped(const std::string& typed) {
  std::string text;
  for (std::size_t at = 0; at < typed.size(); ++at) text += typed[EscapeAt(typed, at) ? ++at : at];
  return text;
}

// The field a name stands for: a short, long or dotted name the library knows
// exactly as typed (a blank makes it another name); null otherwise.
Asn1ObjectPtr FieldNamed(const std::string& name) {
  if (name.find_first_of(" \t\r\n\v\f") != std::string::npos) return nullptr;
  ERR_set_mark();  // an unknown name is the user's mistake, told in the user's terms
  Asn1ObjectPtr field(OBJ_txt2obj(name.c_str(), 0));
  ERR_pop_to_mark();
  return field;
}

// Appends one NAME=VALUE piece as a name entry of its own; why not, when it cannot be.
std::string AddPiece(X509_NAME* name, const std::string& piece) {
  const std::size_t equals = piece.find('=');
  if (equals == std::string::npos) return "no '='";
  const Asn1ObjectPtr field = FieldNamed(piece.substr(0, equals));
  if (!field) return "unknown field name";
  const std::string value = Unescaped(piece.substr(equals + 1));
  if (value.empty()) return "empty value";
  // Values are UTF-8, as every argument is. Bytes that are not UTF-8 (a Linux terminal in
  // another character set) are taken one letter each, as before.
  const auto* const bytes = reinterpret_cast<const unsigned char*>(value.c_str());
  ERR_set_mark();
  const bool added =
      X509_NAME_add_entry_by_OBJ(name, field.get(), MBSTRING_UTF8, bytes, -1, -1, 0) == 1 ||
      X509_NAME_add_entry_by_OBJ(name, field.get(), MBSTRING_ASC, bytes, -1, -1, 0) == 1;
  const char* const reason = ERR_reason_error_string(ERR_peek_last_error());
  ERR_pop_to_mark();
  return added ? "" : reason != nullptr ? reason : "refused by the library";
}

}  // namespace

bool ParseSubject(X509_NAME* name, const std::string& subject) {
  for (const std::string& piece : SubjectPieces(subject)) {
    if (piece.empty()) continue;
    const std::string refusal = AddPiece(name, piece);
    if (!refusal.empty()) return ReportFailure("Subject field refused: " + piece + ": " + refusal);
  }
  return X509_NAME_entry_count(name) > 0 || ReportFailure("Subject is empty");
}

std::string GenerateCsr(const std::string& digestName, const std::string& privateKeyPath,
                        const std::string& publicKeyPath, const std::string& subject) {
  OPENSSL_init_crypto(OPENSSL_INIT_ADD_ALL_CIPHERS | OPENSSL_INIT_ADD_ALL_DIGESTS, nullptr);
  OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);

  // Owners are declared so that scope releases the BIO first, then the
  // request, the name, the extension list, the public and the private key.
  PkeyPtr privateKey(PemToPrivateKey(ReadSecretFile(privateKeyPath).value()));
  if (!privateKey) {
    ReportFailure("Failed to load private key.");  // as sign says it: no pass phrase is asked
    return {};
  }
  if (!KeySuitsDigest(privateKey.get(), digestName)) return {};
  // Read as verify reads its key file: the key the user named, or no request.
  PkeyPtr publicKey(KeyFileToPublicKey(ReadFileToString(publicKeyPath)));
  if (!publicKey) {
    ReportFailure("No public key in " + publicKeyPath);
    return {};
  }
  // A request signed by one key and carrying another would fail its own
  // signature check wherever it is sent.
  if (EVP_PKEY_eq(publicKey.get(), privateKey.get()) != 1) {
    ReportFailure("Public key does not match private key");
    return {};
  }
  ExtensionStackPtr extensions;
  X509NamePtr name;

  X509ReqPtr request(X509_REQ_new());
  if (!request || X509_REQ_set_pubkey(request.get(), publicKey.get()) != 1) {
    std::cout << "Error set public key" << std::endl;
    return {};
  }

  name.reset(X509_NAME_new());
  if (!name || !ParseSubject(name.get(), subject)) return {};
  X509_REQ_set_subject_name(request.get(), name.get());

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

  // The word's digest, which the key was found to suit above.
  const MdPtr digest = DigestByName(digestName);
  if (X509_REQ_sign(request.get(), privateKey.get(), digest.get()) <= 0) {
    ReportFailure("Failed to sign the request.");
    return {};
  }

  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_X509_REQ(bio.get(), request.get()) != 1) return {};
  return MemoryBioContents(bio.get());
}
