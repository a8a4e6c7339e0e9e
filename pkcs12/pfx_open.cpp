#include "pkcs12/pfx_open.h"

#include <openssl/err.h>

#include <cstdint>
#include <iostream>

namespace {

// Real files use a few thousand rounds, a few hundred thousand at most; a count far above
// that keeps the reader busy for minutes (2^31-1 rounds take about six) before any answer.
constexpr std::int64_t kMaxIterations = 10000000;

// The count in decimal when it lies outside 0 to kMaxIterations; empty when it lies inside
// or is absent (the default of one round). Negative counts are refused too: the library
// narrows a count to an int, so one far enough below zero comes out as a huge number of
// rounds. A count beyond 64 bits is shown as the library reads it, -1.
std::string RefusedCount(const ASN1_INTEGER* count) {
  if (count == nullptr) return {};
  std::int64_t rounds = 0;
  if (ASN1_INTEGER_get_int64(&rounds, count) == 0) rounds = -1;
  return rounds >= 0 && rounds <= kMaxIterations ? "" : std::to_string(rounds);
}

// The count of a password-based algorithm's key derivation: PBKDF2's inside PBES2 and
// inside PBMAC1 (a MAC of the same two parts, newer libraries' choice), the single parameter
// block's of the older schemes. Other derivations (scrypt has no count), and parameters of
// another shape, are left to the library.
std::string RefusedDerivation(const X509_ALGOR* algorithm) {
  const int scheme = OBJ_obj2nid(algorithm->algorithm);
  if (scheme != NID_pbes2 && scheme != NID_pbmac1) {
    const PbeParamPtr pbe(static_cast<PBEPARAM*>(
        ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBEPARAM), algorithm->parameter)));
    return pbe ? RefusedCount(pbe->iter) : "";
  }
  const Pbe2ParamPtr pbes2(static_cast<PBE2PARAM*>(
      ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBE2PARAM), algorithm->parameter)));
  if (!pbes2 || OBJ_obj2nid(pbes2->keyfunc->algorithm) != NID_id_pbkdf2) return {};
  const Pbkdf2ParamPtr pbkdf2(static_cast<PBKDF2PARAM*>(
      ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBKDF2PARAM), pbes2->keyfunc->parameter)));
  return pbkdf2 ? RefusedCount(pbkdf2->iter) : "";
}

// Shrouded keys, at any depth of nested bags.
std::string RefusedInBags(const STACK_OF(PKCS12_SAFEBAG) * bags) {
  std::string refused;
  for (int i = 0; refused.empty() && i < sk_PKCS12_SAFEBAG_num(bags); ++i) {
    const PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, i);
    if (PKCS12_SAFEBAG_get_nid(bag) == NID_pkcs8ShroudedKeyBag) {
      const X509_ALGOR* algorithm = nullptr;
      X509_SIG_get0(PKCS12_SAFEBAG_get0_pkcs8(bag), &algorithm, nullptr);
      refused = RefusedDerivation(algorithm);
    } else if (PKCS12_SAFEBAG_get_nid(bag) == NID_safeContentsBag) {
      refused = RefusedInBags(PKCS12_SAFEBAG_get0_safes(bag));
    }
  }
  return refused;
}

// The bags of an encrypted safe, opened with the password the library will use. Under
// PKCS#12's own derivation no password and the empty one differ, and the library takes
// whichever the file was made with; so an empty password is tried both ways.
SafeBagStackPtr DecryptedBags(PKCS7* safe, const char* password) {
  const bool empty = *password == '\0';
  SafeBagStackPtr bags(PKCS12_unpack_p7encdata(safe, empty ? nullptr : password, -1));
  if (!bags && empty) bags.reset(PKCS12_unpack_p7encdata(safe, "", -1));
  return bags;
}

// An encrypted safe's own count comes before its decryption; its bags are looked at only then.
std::string RefusedInSafe(PKCS7* safe, const char* password) {
  if (PKCS7_type_is_data(safe)) {
    return RefusedInBags(SafeBagStackPtr(PKCS12_unpack_p7data(safe)).get());
  }
  if (!PKCS7_type_is_encrypted(safe) || safe->d.encrypted == nullptr) return {};
  const std::string refused = RefusedDerivation(safe->d.encrypted->enc_data->algorithm);
  return refused.empty() ? RefusedInBags(DecryptedBags(safe, password).get()) : refused;
}

// The first count above the ceiling in the order the library would derive keys with them:
// the MAC's (either field), then each safe's and its bags'. A file the library cannot read
// this far is left to it; what fails here is taken off the error queue, whose first entry
// the parse reports.
std::string RefusedIterationCount(const PKCS12* pkcs12, const char* password) {
  const X509_ALGOR* macAlgorithm = nullptr;
  const ASN1_INTEGER* macCount = nullptr;
  PKCS12_get0_mac(nullptr, &macAlgorithm, nullptr, &macCount, pkcs12);
  ERR_set_mark();
  std::string refused = RefusedCount(macCount);
  if (refused.empty() && macAlgorithm != nullptr) refused = RefusedDerivation(macAlgorithm);
  const Pkcs7StackPtr safes(PKCS12_unpack_authsafes(pkcs12));
  for (int i = 0; refused.empty() && i < sk_PKCS7_num(safes.get()); ++i) {
    refused = RefusedInSafe(sk_PKCS7_value(safes.get(), i), password);
  }
  ERR_pop_to_mark();
  return refused;
}

}  // namespace

bool OpenPkcs12(const std::string& pfxData, const std::string& password, PkeyPtr& key,
                X509Ptr& cert) {
  OPENSSL_init_crypto(OPENSSL_INIT_ADD_ALL_CIPHERS | OPENSSL_INIT_ADD_ALL_DIGESTS, nullptr);
  // Error texts must be loaded for the parse failure line below.
  OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);

  BioPtr bio = ReadOnlyMemoryBio(pfxData);
  if (!bio) {
    std::cerr << "Error creating BIO." << std::endl;
    return false;
  }
  const Pkcs12Ptr pkcs12(d2i_PKCS12_bio(bio.get(), nullptr));
  bio.reset();
  if (!pkcs12) {
    std::cerr << "Error reading PFX file." << std::endl;
    return false;
  }
  // Checked before the parse, which derives keys with these counts without a limit.
  const std::string refused = RefusedIterationCount(pkcs12.get(), password.c_str());
  if (!refused.empty()) {
    std::cerr << "Error parsing PFX file: iteration count " << refused << " exceeds "
              << kMaxIterations << std::endl;
    return false;
  }

  EVP_PKEY* privatekey = nullptr;
  X509* certificate = nullptr;
  if (PKCS12_parse(pkcs12.get(), password.c_str(), &privatekey, &certificate, nullptr) == 0) {
    std::cerr << "Error parsing PFX file: " << ERR_error_string(ERR_get_error(), nullptr)
              << std::endl;
    return false;
  }
  key.reset(privatekey);
  cert.reset(certificate);
  return true;
}
