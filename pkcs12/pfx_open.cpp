#include "pkcs12/pfx_open.h"

#include <openssl/err.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <utility>
#include <vector>

#include "common/gost_setup.h"
#include "common/key_derivation.h"
#include "pkcs12/pfx_decrypt.h"

namespace {

// Loaded into the reader's own context only: never into the default one, were that context
// missing. A provider that cannot be found is no fault of the file's, and leaves no error.
ProviderPtr LoadInto(OSSL_LIB_CTX* library, const char* name) {
  if (library == nullptr) return nullptr;
  ERR_set_mark();
  ProviderPtr provider(OSSL_PROVIDER_load(library, name));
  ERR_pop_to_mark();
  return provider;
}

// One opening of a file. Its encrypted parts are decrypted in a library context of the
// reader's own, with the default algorithms and the legacy ones (RC2, RC4) that older Windows
// exports and `openssl pkcs12 -legacy` use, which nothing else in the program sees, and GOST's
// once the run has them: the engine serves that context too; the provider, which a run loads
// into one context only, serves the default one, which then decrypts. The legacy provider is
// looked for where the library looks by default (on Windows it is part of the program); the
// default context's search path names the program itself. Keys and certificates are made in
// the default context, where the signing and verification run.
struct Opening {
  LibCtxPtr library{OSSL_LIB_CTX_new()};
  ProviderPtr defaults = LoadInto(library.get(), "default");
  ProviderPtr legacy = LoadInto(library.get(), "legacy");
  OSSL_LIB_CTX* decrypting = GostPrepared() && !GostServesEveryContext() ? nullptr : library.get();
  const char* password = nullptr;  // as the file's derivations take it; null for none
  bool eitherEmpty = false;        // an empty password and no MAC to tell which form it takes
  bool wrongPassword = false;      // the MAC said so: no other way of reading changes that
  PkeyPtr key;                     // the file's first private key
  std::vector<X509Ptr> certificates;
};

// The MAC's own cost first, then the password checked against the MAC: the one derivation a
// wrong password pays for. PKCS#12's own derivation tells no password from the empty one and
// files are made either way, so an empty password is tried as both, one derivation each.
// PBMAC1 is checked here whatever the library can do, so that it holds on every platform.
std::string CheckMac(PKCS12* pkcs12, const std::string& pfxData, Opening& opening) {
  const ASN1_OCTET_STRING* mac = nullptr;
  const X509_ALGOR* algorithm = nullptr;
  const ASN1_INTEGER* count = nullptr;
  PKCS12_get0_mac(&mac, &algorithm, nullptr, &count, pkcs12);
  std::string refused = RefusedCount(count);
  if (refused.empty()) refused = RefusedDerivation(algorithm);
  if (!refused.empty()) return refused;
  const auto matches = [&](const char* password) {
    if (OBJ_obj2nid(algorithm->algorithm) == NID_pbmac1) {
      return Pbmac1Matches(pfxData, algorithm, mac, password);
    }
    return PKCS12_verify_mac(pkcs12, password, password != nullptr ? -1 : 0) == 1;
  };
  if (matches(opening.password)) return {};
  if (opening.password == nullptr && matches("")) {
    opening.password = "";
    return {};
  }
  // A MAC whose digest the run does not have yet (GOST's, before GOST is set up) said nothing
  // of the password.
  opening.wrongPassword = MacDigestKnown(algorithm);
  ERR_raise(ERR_LIB_PKCS12, PKCS12_R_MAC_VERIFY_FAILURE);
  return LibraryFailure();
}

// One part decrypted and read by `read`, which takes the plaintext. A file without a MAC,
// opened with an empty password, does not say which of no password and the empty one it was
// made with: each part is tried with both, in that order, each attempt's failure told by its
// own first error. The plaintext is wiped as soon as it is read.
template <typename Read>
std::string Decrypted(const X509_ALGOR* algorithm, const ASN1_OCTET_STRING* data,
                      const Opening& opening, Read read) {
  const auto attempt = [&](const char* password) {
    SecretString plain;
    const std::string failure = DecryptPart(algorithm, data, password, opening.decrypting, plain);
    return failure.empty() ? read(plain.value()) : failure;
  };
  ERR_set_mark();
  std::string failure = attempt(opening.password);
  if (!failure.empty() && opening.eitherEmpty) {
    ERR_pop_to_mark();
    ERR_set_mark();
    failure = attempt("");
  }
  ERR_pop_to_mark();
  return failure;
}

std::string ReadBags(const STACK_OF(PKCS12_SAFEBAG) * bags, Opening& opening);

// A key bag in the clear, read as a decrypted one is (a library that decodes a stated public key
// keeps it in the structure, and the key is checked against it the same way).
std::string TakeKey(const PKCS8_PRIV_KEY_INFO* info, Opening& opening) {
  unsigned char* der = nullptr;
  const int length = i2d_PKCS8_PRIV_KEY_INFO(info, &der);
  if (length <= 0) return LibraryFailure();
  const SecretString bytes(std::string(reinterpret_cast<const char*>(der), std::size_t(length)));
  OPENSSL_clear_free(der, std::size_t(length));
  return ReadPrivateKey(bytes.value(), opening.key);
}

// A key bag after the first key is passed over (a shrouded one is never decrypted); a shrouded
// key's cost is checked before it is.
std::string ReadBag(const PKCS12_SAFEBAG* bag, Opening& opening) {
  const int type = PKCS12_SAFEBAG_get_nid(bag);
  if (opening.key && (type == NID_keyBag || type == NID_pkcs8ShroudedKeyBag)) return {};
  switch (type) {
    case NID_keyBag:
      return TakeKey(PKCS12_SAFEBAG_get0_p8inf(bag), opening);
    case NID_pkcs8ShroudedKeyBag: {
      const X509_ALGOR* algorithm = nullptr;
      const ASN1_OCTET_STRING* data = nullptr;
      X509_SIG_get0(PKCS12_SAFEBAG_get0_pkcs8(bag), &algorithm, &data);
      std::string refused = RefusedDerivation(algorithm);
      if (!refused.empty()) return refused;
      return Decrypted(algorithm, data, opening, [&](const std::string& plain) {
        return ReadPrivateKey(plain, opening.key);
      });
    }
    case NID_certBag: {
      if (PKCS12_SAFEBAG_get_bag_nid(bag) != NID_x509Certificate) return {};
      X509Ptr certificate(PKCS12_SAFEBAG_get1_cert(bag));
      if (!certificate) return LibraryFailure();
      opening.certificates.push_back(std::move(certificate));
      return {};
    }
    case NID_safeContentsBag:
      return ReadBags(PKCS12_SAFEBAG_get0_safes(bag), opening);
    default:
      return {};
  }
}

std::string ReadBags(const STACK_OF(PKCS12_SAFEBAG) * bags, Opening& opening) {
  for (int i = 0; i < sk_PKCS12_SAFEBAG_num(bags); ++i) {
    std::string failure = ReadBag(sk_PKCS12_SAFEBAG_value(bags, i), opening);
    if (!failure.empty()) return failure;
  }
  return {};
}

// An encrypted safe's cost is checked before it is decrypted; its bags are read after.
std::string ReadEncryptedSafe(const PKCS7* safe, Opening& opening) {
  if (safe->d.encrypted == nullptr || safe->d.encrypted->enc_data->enc_data == nullptr) {
    return LibraryFailure();
  }
  const PKCS7_ENC_CONTENT* content = safe->d.encrypted->enc_data;
  std::string refused = RefusedDerivation(content->algorithm);
  if (!refused.empty()) return refused;
  SafeBagStackPtr bags;
  const std::string failure =
      Decrypted(content->algorithm, content->enc_data, opening, [&](const std::string& plain) {
        const auto* at = reinterpret_cast<const unsigned char*>(plain.data());
        bags.reset(reinterpret_cast<STACK_OF(PKCS12_SAFEBAG)*>(
            ASN1_item_d2i(nullptr, &at, long(plain.size()), ASN1_ITEM_rptr(PKCS12_SAFEBAGS))));
        return bags ? "" : LibraryFailure();
      });
  return failure.empty() ? ReadBags(bags.get(), opening) : failure;
}

// Every safe in order, as the library's parse reads them; safes of other types are passed over.
std::string ReadSafes(const PKCS12* pkcs12, Opening& opening) {
  const Pkcs7StackPtr safes(PKCS12_unpack_authsafes(pkcs12));
  if (!safes) return LibraryFailure();
  for (int i = 0; i < sk_PKCS7_num(safes.get()); ++i) {
    PKCS7* safe = sk_PKCS7_value(safes.get(), i);
    std::string failure;
    if (PKCS7_type_is_data(safe)) {
      const SafeBagStackPtr bags(PKCS12_unpack_p7data(safe));
      failure = bags ? ReadBags(bags.get(), opening) : LibraryFailure();
    } else if (PKCS7_type_is_encrypted(safe)) {
      failure = ReadEncryptedSafe(safe, opening);
    }
    if (!failure.empty()) return failure;
  }
  return {};
}

// The certificate that goes with the key: the first whose public key is the private key's,
// wherever it stands (none when no certificate is). In a file of certificates alone, the first
// that is no authority's, else the first.
X509Ptr CertificateOfKey(Opening& opening) {
  std::vector<X509Ptr>& all = opening.certificates;
  if (!opening.key) {
    const auto leaf = std::find_if(all.begin(), all.end(), [](const X509Ptr& certificate) {
      return X509_check_ca(certificate.get()) == 0;
    });
    if (leaf != all.end()) return std::move(*leaf);
    return all.empty() ? nullptr : std::move(all.front());
  }
  for (X509Ptr& certificate : all) {
    ERR_set_mark();
    const bool match = X509_check_private_key(certificate.get(), opening.key.get()) == 1;
    ERR_pop_to_mark();
    if (match) return std::move(certificate);
  }
  return nullptr;
}

// A file without a MAC is read with the password as given, under the same ceilings.
std::string Read(PKCS12* pkcs12, const std::string& pfxData, const std::string& password,
                 Opening& opening) {
  if (!password.empty()) opening.password = password.c_str();
  const bool mac = PKCS12_mac_present(pkcs12) == 1;
  opening.eitherEmpty = !mac && password.empty();
  std::string failure = mac ? CheckMac(pkcs12, pfxData, opening) : "";
  if (failure.empty()) failure = ReadSafes(pkcs12, opening);
  return failure;
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
  auto opening = std::make_unique<Opening>();
  std::string failure = Read(pkcs12.get(), pfxData, password, *opening);
  // A file of GOST's (its MAC, its encryption, its key) is read again once GOST is set up.
  if (!failure.empty() && !opening->wrongPassword && !GostPrepared() && PrepareGost(false)) {
    ERR_clear_error();
    opening = std::make_unique<Opening>();
    failure = Read(pkcs12.get(), pfxData, password, *opening);
  }
  if (!failure.empty()) {
    std::cerr << "Error parsing PFX file: " << failure << std::endl;
    return false;
  }
  cert = CertificateOfKey(*opening);
  key = std::move(opening->key);
  return true;
}
