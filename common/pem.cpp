#include "common/pem.h"

#include <openssl/pem.h>

#include "common/handles.h"

int GivenPassPhrase(char* buffer, int size, int /*rwflag*/, void* passPhrase) {
  const auto* given = static_cast<const std::string*>(passPhrase);
  if (given == nullptr || given->empty() || size < 0 ||
      given->size() > static_cast<std::size_t>(size)) {
    return -1;
  }
  given->copy(buffer, given->size());
  return static_cast<int>(given->size());
}

EVP_PKEY* PemBioToPrivateKey(BIO* bio, const std::string& passPhrase) {
  // The library only reads through the pointer it is handed back.
  return PEM_read_bio_PrivateKey(bio, nullptr, GivenPassPhrase,
                                 const_cast<std::string*>(&passPhrase));
}

EVP_PKEY* PemToPrivateKey(const std::string& pem, const std::string& passPhrase) {
  const BioPtr bio = ReadOnlyMemoryBio(pem);
  return bio ? PemBioToPrivateKey(bio.get(), passPhrase) : nullptr;
}

EVP_PKEY* PemToPublicKey(const std::string& pem) {
  const BioPtr bio = ReadOnlyMemoryBio(pem);
  return bio ? PEM_read_bio_PUBKEY(bio.get(), nullptr, GivenPassPhrase, nullptr) : nullptr;
}
