#include "signing/sign_engine.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include "codec/signature_record.h"
#include "common/algorithm_words.h"
#include "common/handles.h"
#include "common/pem.h"
#include "common/report.h"
#include "pkcs12/PFX_parser.h"
#include "signing/default_provider.h"
#include "signing/key_suits.h"

namespace {

// Signs the whole data in one pass, a piece at a time as it is read: the
// first final call announces the largest signature, the second writes it and
// tells its real length. False, without a word, when any of the library's
// calls fails; the reading stops at the first piece the library refuses.
bool SignOnePass(EVP_MD_CTX* ctx, const EVP_MD* md, EVP_PKEY* key, InputFile& data,
                 std::string& sign) {
  std::size_t sig_len = 0;
  if (EVP_DigestSignInit(ctx, nullptr, md, nullptr, key) != 1 ||
      !data.ForEachPiece([ctx](const unsigned char* bytes, std::size_t count) {
        return EVP_DigestSignUpdate(ctx, bytes, count) == 1;
      }) ||
      EVP_DigestSignFinal(ctx, nullptr, &sig_len) != 1) {
    return false;
  }
  sign.assign(sig_len, '\0');
  if (EVP_DigestSignFinal(ctx, reinterpret_cast<unsigned char*>(sign.data()), &sig_len) != 1) {
    return false;
  }
  sign.resize(sig_len);
  return true;
}

}  // namespace

std::string SignData(const std::string& OpenSSLPath, const std::string& keyData,
                     const std::string& digestName, InputFile& data, const std::string& password,
                     const std::string& pkcs12File) {
  OPENSSL_init_crypto(OPENSSL_INIT_ADD_ALL_CIPHERS | OPENSSL_INIT_ADD_ALL_DIGESTS, nullptr);
  if (OSSL_PROVIDER_set_default_search_path(nullptr, OpenSSLPath.c_str()) != 1) {
    ReportFailure("Failed to set OpenSSL provider search path.");
    return {};
  }
  // Stays loaded for the rest of the run: the signing calls below need it.
  if (LoadDefaultProviderForTheRun() == nullptr) {
    ReportFailure("Failed to load OpenSSL provider.");
    return {};
  }

  std::string serialnumber;
  // The password opens a PKCS#12 file, or an encrypted PEM key.
  const bool pkcs12 = !pkcs12File.empty();
  const AlgorithmWord* word = WordOfDigest(digestName);
  const PkeyPtr key(
      pkcs12 ? PfxToPrivateKey(keyData, password, serialnumber)
             : PemToPrivateKey(keyData, password, word != nullptr ? word->keyType : nullptr));
  if (!key) {
    ReportFailure("Failed to load private key.");
    return {};
  }
  // The command's word names the digest, whatever signed the certificate;
  // a key of another kind would sign with another algorithm, or not at all.
  if (!KeySuitsDigest(key.get(), digestName)) return {};
  // Declared after the key, so the context goes first.
  const MdCtxPtr ctx(EVP_MD_CTX_new());
  if (!ctx) {
    ReportFailure("Failed to create EVP_MD_CTX.");
    return {};
  }
  const MdPtr md = DigestByName(digestName);
  if (!md) {
    ReportFailure("Failed to get digest: " + digestName);
    return {};
  }

  std::string sign;
  if (!SignOnePass(ctx.get(), md.get(), key.get(), data, sign)) return {};
  // Signed all the same: the signature is good, only the record cannot say
  // which certificate goes with it.
  if (pkcs12 && serialnumber.empty()) {
    ReportFailure("No certificate of this key in " + pkcs12File + ": the record has no serial");
  }
  return SignatureRecord(serialnumber, sign);
}
