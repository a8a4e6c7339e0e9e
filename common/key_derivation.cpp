#include "common/key_derivation.h"

#include <openssl/err.h>
#include <openssl/pem.h>

#include "common/handles.h"
#include "common/pem.h"

namespace {

// N·r·p in full, however large the file's numbers are, for the refusal to name it.
std::string RefusedScryptCost(const SCRYPT_PARAMS& params) {
  const BignumPtr n(ASN1_INTEGER_to_BN(params.costParameter, nullptr));
  const BignumPtr r(ASN1_INTEGER_to_BN(params.blockSize, nullptr));
  const BignumPtr p(ASN1_INTEGER_to_BN(params.parallelizationParameter, nullptr));
  const BignumPtr cost(BN_new());
  const BnCtxPtr context(BN_CTX_new());
  if (!n || !r || !p || !cost || !context ||
      BN_mul(cost.get(), n.get(), r.get(), context.get()) != 1 ||
      BN_mul(cost.get(), cost.get(), p.get(), context.get()) != 1) {
    return {};
  }
  // A negative part is the library's to refuse; a cost beyond a word reads as all ones.
  if (BN_is_negative(cost.get()) || BN_get_word(cost.get()) <= kMaxScryptCost) return {};
  const OpenSslTextPtr decimal(BN_bn2dec(cost.get()));
  return "scrypt cost " + std::string(decimal ? decimal.get() : "?") + " exceeds " +
         std::to_string(kMaxScryptCost);
}

// PBES2's and PBMAC1's key derivation function, which holds the cost.
std::string RefusedKeyFunction(const X509_ALGOR* function) {
  switch (OBJ_obj2nid(function->algorithm)) {
    case NID_id_pbkdf2: {
      const Pbkdf2ParamPtr pbkdf2(
          Unpack<PBKDF2PARAM>(ASN1_ITEM_rptr(PBKDF2PARAM), function->parameter));
      return pbkdf2 ? RefusedCount(pbkdf2->iter) : "";
    }
    case NID_id_scrypt: {
      const ScryptParamsPtr scrypt(
          Unpack<SCRYPT_PARAMS>(ASN1_ITEM_rptr(SCRYPT_PARAMS), function->parameter));
      return scrypt ? RefusedScryptCost(*scrypt) : "";
    }
    default:
      return {};
  }
}

}  // namespace

std::string RefusedCount(const ASN1_INTEGER* count) {
  if (count == nullptr) return {};
  // Negative counts are refused too: the library narrows a count to an int, so one far enough
  // below zero comes out as a huge number of rounds. A count beyond 64 bits is shown as the
  // library reads it, -1.
  std::int64_t rounds = 0;
  if (ASN1_INTEGER_get_int64(&rounds, count) == 0) rounds = -1;
  if (rounds >= 0 && rounds <= kMaxIterations) return {};
  return "iteration count " + std::to_string(rounds) + " exceeds " + std::to_string(kMaxIterations);
}

std::string RefusedDerivation(const X509_ALGOR* algorithm) {
  if (algorithm == nullptr) return {};
  // What fails to decode here is the library's to report when it reads the same parameters:
  // nothing is left on the error queue, whose first entry the readers show.
  ERR_set_mark();
  std::string refused;
  const int scheme = OBJ_obj2nid(algorithm->algorithm);
  if (scheme == NID_pbes2 || scheme == NID_pbmac1) {  // the same two parts: a KDF, then a use
    const Pbe2ParamPtr pbes2(Unpack<PBE2PARAM>(ASN1_ITEM_rptr(PBE2PARAM), algorithm->parameter));
    if (pbes2) refused = RefusedKeyFunction(pbes2->keyfunc);
  } else {
    const PbeParamPtr pbe(Unpack<PBEPARAM>(ASN1_ITEM_rptr(PBEPARAM), algorithm->parameter));
    if (pbe) refused = RefusedCount(pbe->iter);
  }
  ERR_pop_to_mark();
  return refused;
}

bool PemKeyDerivationRefused(const std::string& pem) {
  const BioPtr bio = ReadOnlyMemoryBio(pem);
  if (!bio) return false;
  ERR_set_mark();
  bool refused = false;
  unsigned char* der = nullptr;
  long length = 0;
  // The blocks read past on the way may hold a key in the clear: the secure reading wipes
  // each block it decodes when it lets it go. A block with old-style encryption headers is
  // given no pass phrase: nothing is decrypted here.
  while (!refused && PEM_bytes_read_bio_secmem(&der, &length, nullptr, PEM_STRING_PKCS8, bio.get(),
                                               GivenPassPhrase, nullptr) == 1) {
    const unsigned char* in = der;
    const X509SigPtr key(d2i_X509_SIG(nullptr, &in, length));
    const X509_ALGOR* algorithm = nullptr;
    if (key) X509_SIG_get0(key.get(), &algorithm, nullptr);
    refused = !RefusedDerivation(algorithm).empty();
    OPENSSL_secure_clear_free(der, static_cast<std::size_t>(length));
  }
  ERR_pop_to_mark();
  return refused;
}
