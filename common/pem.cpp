#include "common/pem.h"

#include <openssl/pem.h>

#include "common/handles.h"

namespace {

template <typename Reader>
EVP_PKEY* ReadKey(const std::string& pem, Reader read) {
  const BioPtr bio = ReadOnlyMemoryBio(pem);
  if (!bio) return nullptr;
  return read(bio.get(), nullptr, nullptr, nullptr);
}

}  // namespace

EVP_PKEY* PemToPrivateKey(const std::string& pem) { return ReadKey(pem, PEM_read_bio_PrivateKey); }

EVP_PKEY* PemToPublicKey(const std::string& pem) { return ReadKey(pem, PEM_read_bio_PUBKEY); }
