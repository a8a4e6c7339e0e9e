#include "common/pem.h"

#include <openssl/decoder.h>
#include <openssl/err.h>
#include <openssl/pem.h>

#include <utility>

#include "common/gost_setup.h"
#include "common/key_derivation.h"

namespace {

// The object whose DER encoding is the whole of bytes, nothing before or after it; or null.
template <typename Owner, typename T>
Owner WholeDer(const std::string& bytes, T* (*decode)(T**, const unsigned char**, long)) {
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) return nullptr;
  const auto* const start = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* end = start;
  Owner decoded(decode(nullptr, &end, static_cast<long>(bytes.size())));
  if (end != start + bytes.size()) decoded.reset();
  return decoded;
}

// An unencrypted key of that type, by that type's decoders alone; null for anything else (an
// encrypted key among them: its pass phrase is derived once, by the reader that takes every
// type), without a word.
PkeyPtr DecodedAs(BIO* bio, const char* keyType) {
  BIO_reset(bio);
  EVP_PKEY* key = nullptr;
  ERR_set_mark();
  const DecoderCtxPtr decoder(OSSL_DECODER_CTX_new_for_pkey(&key, "PEM", "PrivateKeyInfo", keyType,
                                                            EVP_PKEY_KEYPAIR, nullptr, nullptr));
  // No pass phrase: an encrypted key is left to the reader below.
  if (decoder &&
      OSSL_DECODER_CTX_set_pem_password_cb(decoder.get(), GivenPassPhrase, nullptr) == 1) {
    OSSL_DECODER_from_bio(decoder.get(), bio);
  }
  ERR_pop_to_mark();
  return PkeyPtr(key);
}

}  // namespace

int GivenPassPhrase(char* buffer, int size, int /*rwflag*/, void* passPhrase) {
  const auto* given = static_cast<const std::string*>(passPhrase);
  if (given == nullptr || given->empty() || size < 0 ||
      given->size() > static_cast<std::size_t>(size)) {
    return -1;
  }
  given->copy(buffer, given->size());
  return static_cast<int>(given->size());
}

EVP_PKEY* PemBioToPrivateKey(BIO* bio, const std::string& passPhrase, const char* expectedType) {
  if (expectedType != nullptr) {
    if (PkeyPtr key = DecodedAs(bio, expectedType)) return key.release();
  }
  // A second read starts again at the start (the BIOs are memory BIOs, read
  // from their start).
  return ReadNeedingGost([&] {
           BIO_reset(bio);
           // The library only reads through the pointer it is handed back.
           return PkeyPtr(PEM_read_bio_PrivateKey(bio, nullptr, GivenPassPhrase,
                                                  const_cast<std::string*>(&passPhrase)));
         })
      .release();
}

EVP_PKEY* PemToPrivateKey(const std::string& pem, const std::string& passPhrase,
                          const char* expectedType) {
  // Refused before the library derives a key from the pass phrase for it.
  if (PemKeyDerivationRefused(pem)) return nullptr;
  const BioPtr bio = ReadOnlyMemoryBio(pem);
  return bio ? PemBioToPrivateKey(bio.get(), passPhrase, expectedType) : nullptr;
}

EVP_PKEY* PemToPublicKey(const std::string& pem) {
  return ReadNeedingGost([&pem] {
           const BioPtr bio = ReadOnlyMemoryBio(pem);
           return PkeyPtr(bio ? PEM_read_bio_PUBKEY(bio.get(), nullptr, GivenPassPhrase, nullptr)
                              : nullptr);
         })
      .release();
}

EVP_PKEY* KeyFileToPublicKey(const std::string& bytes, X509Ptr* certificate) {
  if (EVP_PKEY* const key = PemToPublicKey(bytes)) return key;
  if (PkeyPtr key = ReadNeedingGost([&bytes] { return WholeDer<PkeyPtr>(bytes, d2i_PUBKEY); })) {
    return key.release();
  }
  const BioPtr bio = ReadOnlyMemoryBio(bytes);
  // A block that claims to be encrypted gets no pass phrase, as with every PEM read.
  X509Ptr cert(bio ? PEM_read_bio_X509(bio.get(), nullptr, GivenPassPhrase, nullptr) : nullptr);
  if (!cert) cert = WholeDer<X509Ptr>(bytes, d2i_X509);
  if (!cert) return nullptr;
  EVP_PKEY* const key = CertificatePublicKey(cert.get());
  if (certificate != nullptr) *certificate = std::move(cert);
  return key;
}

EVP_PKEY* CertificatePublicKey(X509* cert) {
  // Decoded afresh from its DER form: the certificate's own copy stays
  // undecoded when it was read before GOST was set up.
  return ReadNeedingGost([cert] {
           unsigned char* der = nullptr;
           const int length = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(cert), &der);
           const OpenSslTextPtr owner(reinterpret_cast<char*>(der));
           const unsigned char* in = der;
           return PkeyPtr(length > 0 ? d2i_PUBKEY(nullptr, &in, length) : nullptr);
         })
      .release();
}
