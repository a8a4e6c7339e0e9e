#include "common/pem.h"

#include <climits>

#include <openssl/pem.h>

#include "common/handles.h"

namespace {

template <typename Reader>
EVP_PKEY* ReadKey(const std::string& pem, Reader read) {
  if (pem.size() > static_cast<std::size_t>(INT_MAX)) return nullptr;
  BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  if (!bio) return nullptr;
  return read(bio.get(), nullptr, nullptr, nullptr);
}

}  // namespace

EVP_PKEY* PemToPrivateKey(const std::string& pem) { return ReadKey(pem, PEM_read_bio_PrivateKey); }

EVP_PKEY* PemToPublicKey(const std::string& pem) { return ReadKey(pem, PEM_read_bio_PUBKEY); }
