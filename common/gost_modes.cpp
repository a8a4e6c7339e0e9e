#include "common/gost_modes.h"

#include <openssl/crypto.h>
#include <openssl/hmac.h>

#include "common/algorithm_words.h"
#include "common/handles.h"

namespace {

constexpr std::size_t kKeySize = 32;  // Kuznyechik's and Magma's alike

// The block cipher itself, one block at a time, got from its CBC mode: each block goes in
// masked with the previous block out, which undoes the chaining. CBC is the one mode that
// both ways of getting GOST offer for Kuznyechik and Magma alike.
struct BlockEncryption {
  CipherCtxPtr context;
  std::string previous;  // the chaining value, zeros to begin with
};

// Keyed with the key, or with no context when the cipher cannot be.
BlockEncryption Keyed(const EVP_CIPHER* cbc, const std::string& key) {
  const auto size = static_cast<std::size_t>(EVP_CIPHER_get_block_size(cbc));
  BlockEncryption keyed{CipherCtxPtr(EVP_CIPHER_CTX_new()), std::string(size, '\0')};
  const auto* zeros = reinterpret_cast<const unsigned char*>(keyed.previous.data());
  if (!keyed.context || key.size() != kKeySize ||
      EVP_EncryptInit_ex(keyed.context.get(), cbc, nullptr,
                         reinterpret_cast<const unsigned char*>(key.data()), zeros) != 1 ||
      EVP_CIPHER_CTX_set_padding(keyed.context.get(), 0) != 1) {
    keyed.context.reset();
  }
  return keyed;
}

// One block encrypted in place.
bool EncryptBlock(BlockEncryption& cipher, std::string& block) {
  for (std::size_t i = 0; i < block.size(); ++i) block[i] ^= cipher.previous[i];
  auto* bytes = reinterpret_cast<unsigned char*>(block.data());
  int written = 0;
  const bool done = cipher.context &&
                    EVP_EncryptUpdate(cipher.context.get(), bytes, &written, bytes,
                                      static_cast<int>(block.size())) == 1 &&
                    written == static_cast<int>(block.size());
  cipher.previous = block;
  return done;
}

// The next section's key: the blocks of the constant D = 80 81 ... 9F encrypted under the
// current key.
bool NextSectionKey(BlockEncryption& cipher, std::size_t blockSize, std::string& key) {
  for (std::size_t at = 0; at < kKeySize; at += blockSize) {
    std::string block(blockSize, '\0');
    for (std::size_t i = 0; i < blockSize; ++i) block[i] = static_cast<char>(0x80 + at + i);
    if (!EncryptBlock(cipher, block)) return false;
    key.replace(at, blockSize, block);
    OPENSSL_cleanse(block.data(), block.size());
  }
  return true;
}

// The counter block plus one, as a big-endian number.
void Increment(std::string& counter) {
  for (auto byte = counter.rbegin(); byte != counter.rend(); ++byte) {
    if (++*byte != 0) break;
  }
}

// A block shifted left by one bit, the constant of the block's size added when a bit falls out:
// how OMAC derives its two subkeys.
std::string Doubled(const std::string& block) {
  std::string twice(block.size(), '\0');
  for (std::size_t i = 0; i < block.size(); ++i) {
    const auto next = i + 1 < block.size() ? static_cast<unsigned char>(block[i + 1]) : 0;
    twice[i] = static_cast<char>(static_cast<unsigned char>(block[i]) << 1 | next >> 7);
  }
  if (static_cast<unsigned char>(block[0]) & 0x80) twice.back() ^= block.size() == 16 ? 0x87 : 0x1B;
  return twice;
}

}  // namespace

bool CtrAcpkm(const EVP_CIPHER* cbc, const std::string& key, const std::string& iv,
              std::size_t section, std::string& data) {
  const auto blockSize = static_cast<std::size_t>(EVP_CIPHER_get_block_size(cbc));
  std::string current = key, counter = iv;
  counter.resize(blockSize, '\0');
  BlockEncryption cipher = Keyed(cbc, current);
  bool done = true;
  for (std::size_t at = 0; done && at < data.size(); at += blockSize) {
    if (at > 0 && at % section == 0) {
      done = NextSectionKey(cipher, blockSize, current);
      cipher = Keyed(cbc, current);
    }
    std::string gamma = counter;
    done = done && EncryptBlock(cipher, gamma);
    for (std::size_t i = 0; done && i < blockSize && at + i < data.size(); ++i) data[at + i] ^= gamma[i];
    OPENSSL_cleanse(gamma.data(), gamma.size());
    Increment(counter);
  }
  OPENSSL_cleanse(current.data(), current.size());
  return done;
}

std::string Omac(const EVP_CIPHER* cbc, const std::string& key, const std::string& data) {
  const auto blockSize = static_cast<std::size_t>(EVP_CIPHER_get_block_size(cbc));
  BlockEncryption cipher = Keyed(cbc, key);
  std::string first(blockSize, '\0');
  if (!EncryptBlock(cipher, first)) return {};
  const std::string k1 = Doubled(first), k2 = Doubled(k1);
  // Every block but the last is chained as it is; the last, whole, takes K1, or padded, K2.
  const std::size_t last = data.empty() ? 0 : (data.size() - 1) / blockSize * blockSize;
  std::string chain(blockSize, '\0');
  for (std::size_t at = 0; at < last; at += blockSize) {
    for (std::size_t i = 0; i < blockSize; ++i) chain[i] ^= data[at + i];
    if (!EncryptBlock(cipher, chain)) return {};
  }
  std::string tail = data.substr(last);
  const bool whole = tail.size() == blockSize;
  if (!whole) tail.append(1, '\x80').resize(blockSize, '\0');
  for (std::size_t i = 0; i < blockSize; ++i) chain[i] ^= tail[i] ^ (whole ? k1 : k2)[i];
  return EncryptBlock(cipher, chain) ? chain : std::string();
}

std::string KdfTree256(const std::string& key, const std::string& label, const std::string& seed,
                       std::size_t length) {
  const MdPtr streebog = DigestByName(GostWord().digest);
  if (!streebog) return {};
  // The length in bits, big-endian in as few octets as it takes.
  std::string bits;
  for (std::size_t value = length * 8; value != 0; value >>= 8) {
    bits.insert(bits.begin(), static_cast<char>(value & 0xFF));
  }
  std::string derived;
  for (std::size_t counter = 1; derived.size() < length; ++counter) {
    const std::string input =
        static_cast<char>(counter) + label + std::string(1, '\0') + seed + bits;
    unsigned char block[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (HMAC(streebog.get(), key.data(), static_cast<int>(key.size()),
             reinterpret_cast<const unsigned char*>(input.data()), input.size(), block,
             &size) == nullptr) {
      return {};
    }
    derived.append(reinterpret_cast<const char*>(block), size);
    OPENSSL_cleanse(block, sizeof block);
  }
  derived.resize(length);
  return derived;
}

std::string Pbkdf2(const std::string& password, const std::string& salt, int iterations,
                   const EVP_MD* digest, std::size_t length) {
  std::string key(length, '\0');
  if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                        reinterpret_cast<const unsigned char*>(salt.data()),
                        static_cast<int>(salt.size()), iterations, digest, static_cast<int>(length),
                        reinterpret_cast<unsigned char*>(key.data())) != 1) {
    return {};
  }
  return key;
}
