#include "pkcs12/pfx_decrypt.h"

#include <openssl/err.h>
#include <openssl/hmac.h>
#include <openssl/pkcs12.h>

#include <cstdint>
#include <utility>

#include "common/algorithm_words.h"
#include "common/gost_modes.h"
#include "common/key_derivation.h"

namespace {

// PBES2's encryption schemes of the TC26 2020 profile. The section after which CTR-ACPKM
// changes its key is the one RFC 9337 sets for these schemes (section 5.1: 256 KB for
// Kuznyechik, 8 KB for Magma), as the GOST engine's decoder of their parameters does too (its
// own PBES2, which sets the cipher up again after decoding, ends up changing keys every 4 KB
// and 1 KB instead). A key or a short chain of certificates fills less than a section.
struct GostScheme {
  int scheme;       // as PBES2 names it
  int blockCipher;  // the cipher in CBC mode, on which the modes are built
  bool tagged;      // an OMAC tag follows the data, encrypted with it ("-omac")
  std::size_t section;
};
constexpr std::size_t kKuznyechikSection = std::size_t{256} * 1024,
                      kMagmaSection = std::size_t{8} * 1024;
constexpr GostScheme kGostSchemes[] = {
    {NID_kuznyechik_ctr_acpkm, NID_kuznyechik_cbc, false, kKuznyechikSection},
    {NID_kuznyechik_ctr_acpkm_omac, NID_kuznyechik_cbc, true, kKuznyechikSection},
    {NID_magma_ctr_acpkm, NID_magma_cbc, false, kMagmaSection},
    {NID_magma_ctr_acpkm_omac, NID_magma_cbc, true, kMagmaSection},
};
constexpr std::size_t kGostKeySize = 32, kSeedSize = 8;
// PBMAC1 may ask for an HMAC key longer than its digest; each further digest's length costs as
// many rounds again, so a file may not ask for more than this. A key shorter than 20 octets
// would make the MAC easy to forge: OpenSSL's own check refuses it too.
constexpr std::int64_t kMaxDerivedKey = 256;
constexpr std::size_t kMinMacKey = 20;

std::string Bytes(const ASN1_STRING* string) {
  return std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(string)),
                     static_cast<std::size_t>(ASN1_STRING_length(string)));
}

std::string Refused(int library, int reason) {
  ERR_raise(library, reason);
  return LibraryFailure();
}

// The digest of an HMAC that the file names (PBKDF2's PRF, PBMAC1's MAC), as the library's
// table of PRFs pairs them; HMAC-SHA-1 when none is named, as PBKDF2's default.
MdPtr HmacDigest(const X509_ALGOR* hmac) {
  const int named = hmac == nullptr ? NID_hmacWithSHA1 : OBJ_obj2nid(hmac->algorithm);
  int digest = NID_undef;
  if (EVP_PBE_find(EVP_PBE_TYPE_PRF, named, nullptr, &digest, nullptr) != 1) return nullptr;
  const char* name = OBJ_nid2sn(digest);
  return name != nullptr ? DigestByName(name) : nullptr;
}

// PBKDF2 as the file states it (the salt, the rounds, the PRF), the password as its bytes:
// a key of `length` bytes, or of the length the file states when `length` is 0. Empty when the
// parameters are of another kind or disagree on the length. The rounds were checked against
// the ceiling before.
std::string DerivedKey(const X509_ALGOR* function, const char* password, std::size_t length) {
  if (OBJ_obj2nid(function->algorithm) != NID_id_pbkdf2) return {};
  const Pbkdf2ParamPtr pbkdf2(
      Unpack<PBKDF2PARAM>(ASN1_ITEM_rptr(PBKDF2PARAM), function->parameter));
  std::int64_t rounds = 0, stated = 0;
  if (!pbkdf2 || pbkdf2->salt->type != V_ASN1_OCTET_STRING ||
      ASN1_INTEGER_get_int64(&rounds, pbkdf2->iter) != 1 || rounds < 1 || rounds > kMaxIterations ||
      (pbkdf2->keylength != nullptr &&
       (ASN1_INTEGER_get_int64(&stated, pbkdf2->keylength) != 1 || stated < 1 ||
        stated > kMaxDerivedKey || (length != 0 && length != std::size_t(stated))))) {
    return {};
  }
  const MdPtr prf = HmacDigest(pbkdf2->prf);
  if (!prf || (length == 0 && (length = std::size_t(stated)) == 0)) return {};
  return Pbkdf2(password != nullptr ? password : "", Bytes(pbkdf2->salt->value.octet_string),
                static_cast<int>(rounds), prf.get(), length);
}

// The ukm of the scheme's parameters, SEQUENCE { ukm OCTET STRING }: half a block of counter,
// then the seed of the keys' derivation.
std::string Ukm(const ASN1_TYPE* parameter) {
  if (parameter == nullptr || parameter->type != V_ASN1_SEQUENCE) return {};
  const unsigned char* at = ASN1_STRING_get0_data(parameter->value.sequence);
  long length = 0;
  int tag = 0, type = 0;
  if (ASN1_get_object(&at, &length, &tag, &type, ASN1_STRING_length(parameter->value.sequence)) !=
          V_ASN1_CONSTRUCTED ||
      tag != V_ASN1_SEQUENCE) {
    return {};
  }
  const OctetStringPtr ukm(d2i_ASN1_OCTET_STRING(nullptr, &at, length));
  return ukm ? Bytes(ukm.get()) : std::string();
}

// A bag of the TC26 2020 profile (RFC 9337, RFC 9548): the key from PBKDF2; for the tagged
// schemes an encryption key and a MAC key from it by KDF_TREE_GOSTR3411_2012_256, and the OMAC
// of the plaintext, which follows it under the same counter stream, checked before the
// plaintext is handed on.
std::string DecryptGost(const GostScheme& scheme, const PBE2PARAM& pbes2,
                        const ASN1_OCTET_STRING* data, const char* password, SecretString& plain) {
  const CipherPtr cbc = CipherByName(OBJ_nid2sn(scheme.blockCipher));
  if (!cbc) return Refused(ERR_LIB_EVP, EVP_R_UNSUPPORTED_CIPHER);
  const std::size_t half = static_cast<std::size_t>(EVP_CIPHER_get_block_size(cbc.get())) / 2;
  const std::string ukm = Ukm(pbes2.encryption->parameter);
  if (ukm.size() != half + kSeedSize) return Refused(ERR_LIB_EVP, EVP_R_DECODE_ERROR);
  SecretString key(DerivedKey(pbes2.keyfunc, password, kGostKeySize));
  if (key.value().empty()) return Refused(ERR_LIB_EVP, EVP_R_UNSUPPORTED_KEY_DERIVATION_FUNCTION);
  SecretString macKey;
  if (scheme.tagged) {
    SecretString pair(KdfTree256(key.value(), "kdf tree", ukm.substr(half), 2 * kGostKeySize));
    if (pair.value().empty()) return Refused(ERR_LIB_EVP, EVP_R_UNSUPPORTED_ALGORITHM);
    key.value().assign(pair.value(), 0, kGostKeySize);
    macKey.value().assign(pair.value(), kGostKeySize, kGostKeySize);
  }
  plain.value() = Bytes(data);
  if (!CtrAcpkm(cbc.get(), key.value(), ukm.substr(0, half), scheme.section, plain.value())) {
    return Refused(ERR_LIB_EVP, EVP_R_UNSUPPORTED_CIPHER);
  }
  if (!scheme.tagged) return {};
  const std::size_t tagSize = 2 * half;
  std::string& text = plain.value();
  const bool tagged = text.size() >= tagSize;
  const std::string tag = tagged ? text.substr(text.size() - tagSize) : std::string();
  if (tagged) text.resize(text.size() - tagSize);
  const std::string own = Omac(cbc.get(), macKey.value(), text);
  if (!tagged || own.size() != tag.size() || CRYPTO_memcmp(own.data(), tag.data(), tagSize) != 0) {
    WipeString(text);
    return "integrity tag of an encrypted bag does not match";
  }
  return {};
}

// The authenticated safe's content, the bytes the MAC covers, as the file holds them:
// PFX ::= SEQUENCE { version INTEGER, authSafe ContentInfo, macData MacData }.
bool AuthenticatedContent(const std::string& pfxData, std::string& content) {
  const auto* at = reinterpret_cast<const unsigned char*>(pfxData.data());
  const unsigned char* end = at + pfxData.size();
  long length = 0;
  int tag = 0, type = 0;
  if (ASN1_get_object(&at, &length, &tag, &type, end - at) & 0x80) return false;
  const Asn1IntegerPtr version(d2i_ASN1_INTEGER(nullptr, &at, end - at));
  const Pkcs7Ptr safe(version ? d2i_PKCS7(nullptr, &at, end - at) : nullptr);
  if (!safe || !PKCS7_type_is_data(safe.get()) || safe->d.data == nullptr) return false;
  content = Bytes(safe->d.data);
  return true;
}

// A version 2 structure (RFC 5958) as the version 1 structure every library reads, and the
// public key it states ([1] IMPLICIT BIT STRING, without its count of unused bits). False when
// the bytes are not such a structure: they then go to the library as they are.
bool SplitStatedKey(const std::string& der, SecretString& first, std::string& stated) {
  const auto* begin = reinterpret_cast<const unsigned char*>(der.data());
  const unsigned char *at = begin, *end = begin + der.size();
  long length = 0;
  int tag = 0, type = 0;
  if (ASN1_get_object(&at, &length, &tag, &type, end - at) != V_ASN1_CONSTRUCTED ||
      tag != V_ASN1_SEQUENCE || at + length != end) {
    return false;
  }
  std::string& body = first.value();
  body.reserve(der.size());
  while (at < end) {
    const unsigned char* item = at;
    if (ASN1_get_object(&at, &length, &tag, &type, end - at) & 0x81) return false;
    const unsigned char* content = at;
    at += length;
    if (type == V_ASN1_CONTEXT_SPECIFIC && tag == 1 && length > 0) {
      stated.assign(reinterpret_cast<const char*>(content) + 1, std::size_t(length) - 1);
    } else {
      body.append(reinterpret_cast<const char*>(item), static_cast<std::size_t>(at - item));
    }
  }
  if (stated.empty() || body.compare(0, 3, "\x02\x01\x01", 3) != 0) return false;
  body[2] = '\0';  // version 1, whose number is 0
  std::string header(
      static_cast<std::size_t>(ASN1_object_size(1, int(body.size()), V_ASN1_SEQUENCE)), '\0');
  auto* out = reinterpret_cast<unsigned char*>(header.data());
  ASN1_put_object(&out, 1, int(body.size()), V_ASN1_SEQUENCE, V_ASN1_UNIVERSAL);
  header.resize(static_cast<std::size_t>(out - reinterpret_cast<unsigned char*>(header.data())));
  body.insert(0, header);
  return true;
}

// True when the stated public key is the key's own as a certificate would carry it (the
// subjectPublicKey's bits), or, where those bits wrap the key in an OCTET STRING (GOST keys),
// as the octets inside.
bool IsOwnPublicKey(EVP_PKEY* key, const std::string& stated) {
  X509_PUBKEY* made = nullptr;
  if (X509_PUBKEY_set(&made, key) != 1) return false;
  const X509PubkeyPtr own(made);
  const unsigned char* bits = nullptr;
  int length = 0;
  X509_PUBKEY_get0_param(nullptr, &bits, &length, nullptr, own.get());
  const std::string whole(reinterpret_cast<const char*>(bits), static_cast<std::size_t>(length));
  const unsigned char* at = bits;
  const OctetStringPtr wrapped(d2i_ASN1_OCTET_STRING(nullptr, &at, length));
  return stated == whole || (wrapped && at == bits + length && stated == Bytes(wrapped.get()));
}

}  // namespace

std::string LibraryFailure() {
  if (ERR_peek_error() == 0) ERR_raise(ERR_LIB_PKCS12, PKCS12_R_PARSE_ERROR);
  return ERR_error_string(ERR_get_error(), nullptr);
}

std::string DecryptPart(const X509_ALGOR* algorithm, const ASN1_OCTET_STRING* data,
                        const char* password, OSSL_LIB_CTX* library, SecretString& plain) {
  if (OBJ_obj2nid(algorithm->algorithm) == NID_pbes2) {
    const Pbe2ParamPtr pbes2(Unpack<PBE2PARAM>(ASN1_ITEM_rptr(PBE2PARAM), algorithm->parameter));
    const int scheme = pbes2 ? OBJ_obj2nid(pbes2->encryption->algorithm) : NID_undef;
    for (const GostScheme& gost : kGostSchemes) {
      if (gost.scheme == scheme) return DecryptGost(gost, *pbes2, data, password, plain);
    }
  }
  unsigned char* out = nullptr;
  int length = 0;
  if (PKCS12_pbe_crypt_ex(algorithm, password, -1, ASN1_STRING_get0_data(data),
                          ASN1_STRING_length(data), &out, &length, 0, library,
                          nullptr) == nullptr) {
    return LibraryFailure();
  }
  plain.value().assign(reinterpret_cast<const char*>(out), static_cast<std::size_t>(length));
  OPENSSL_clear_free(out, static_cast<std::size_t>(length));
  return {};
}

bool Pbmac1Matches(const std::string& pfxData, const X509_ALGOR* algorithm,
                   const ASN1_OCTET_STRING* mac, const char* password) {
  // What fails to decode is a MAC that does not match: the reader reports it so.
  ERR_set_mark();
  const Pbe2ParamPtr pbmac1(Unpack<PBE2PARAM>(ASN1_ITEM_rptr(PBE2PARAM), algorithm->parameter));
  const MdPtr digest = pbmac1 ? HmacDigest(pbmac1->encryption) : nullptr;
  const SecretString key(digest ? DerivedKey(pbmac1->keyfunc, password, 0) : std::string());
  std::string content;
  unsigned char own[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  const bool match = key.value().size() >= kMinMacKey && AuthenticatedContent(pfxData, content) &&
                     HMAC(digest.get(), key.value().data(), static_cast<int>(key.value().size()),
                          reinterpret_cast<const unsigned char*>(content.data()), content.size(),
                          own, &size) != nullptr &&
                     int(size) == ASN1_STRING_length(mac) &&
                     CRYPTO_memcmp(own, ASN1_STRING_get0_data(mac), size) == 0;
  ERR_pop_to_mark();
  return match;
}

bool MacDigestKnown(const X509_ALGOR* algorithm) {
  const int nid = OBJ_obj2nid(algorithm->algorithm);
  if (nid != NID_pbmac1) {
    const char* name = OBJ_nid2sn(nid);
    return name != nullptr && DigestByName(name) != nullptr;
  }
  ERR_set_mark();
  const Pbe2ParamPtr pbmac1(Unpack<PBE2PARAM>(ASN1_ITEM_rptr(PBE2PARAM), algorithm->parameter));
  const bool known = pbmac1 && HmacDigest(pbmac1->encryption) != nullptr;
  ERR_pop_to_mark();
  return known;
}

std::string ReadPrivateKey(const std::string& der, PkeyPtr& key) {
  SecretString first;
  std::string stated;
  // Bytes that are no such structure are the library's to report, as it reads them below.
  ERR_set_mark();
  const bool split = SplitStatedKey(der, first, stated);
  ERR_pop_to_mark();
  if (!split) stated.clear();
  const std::string& structure = split ? first.value() : der;
  const auto* at = reinterpret_cast<const unsigned char*>(structure.data());
  const Pkcs8InfoPtr info(d2i_PKCS8_PRIV_KEY_INFO(nullptr, &at, long(structure.size())));
  key.reset(info ? EVP_PKCS82PKEY(info.get()) : nullptr);
  if (!key) return LibraryFailure();
  if (!stated.empty() && !IsOwnPublicKey(key.get(), stated)) {
    key.reset();
    return "the key's stated public key is not its own";
  }
  return {};
}
