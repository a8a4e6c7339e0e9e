#include "common/gost_modes.h"

#include <openssl/crypto.h>
#include <openssl/hmac.h>

#include "common/algorithm_words.h"
#include "common/handles.h"
#include "common/secret.h"

namespace {

constexpr std::size_t kKeySize = 32;  // Kuznyechik's and Magma's alike

// The block cipher itself, one block at a time, got from its CBC mode: each block goes in
// masked with the previous block out, which undoes the chaining. CBC is the one mode that
// both ways of getting GOST offer for Kuznyechik and Magma alike. The last block out (a key
// stream's, or a section key's) is wiped with the rest.
struct BlockEncryption {
  CipherCtxPtr context{EVP_CIPHER_CTX_new()};
  SecretString previous;  // the chaining value, zeros after each keying
};

// Keys (or keys again) the cipher; false when it cannot be. A context is emptied before it is
// keyed again: the GOST provider refuses a new key on a context that has one.
bool SetKey(BlockEncryption& cipher, const EVP_CIPHER* cbc, const std::string& key) {
  std::string& zeros = cipher.previous.value();
  zeros.assign(static_cast<std::size_t>(EVP_CIPHER_get_block_size(cbc)), '\0');
  return cipher.context && key.size() == kKeySize &&
         EVP_CIPHER_CTX_reset(cipher.context.get()) == 1 &&
         EVP_EncryptInit_ex(cipher.context.get(), cbc, nullptr,
                            reinterpret_cast<const unsigned char*>(key.data()),
                            reinterpret_cast<const unsigned char*>(zeros.data())) == 1 &&
         EVP_CIPHER_CTX_set_padding(cipher.context.get(), 0) == 1;
}

// One block encrypted in place.
bool EncryptBlock(BlockEncryption& cipher, std::string& block) {
  std::string& previous = cipher.previous.value();
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = char(block[i] ^ previous[i]);
  auto* bytes = reinterpret_cast<unsigned char*>(block.data());
  int written = 0;
  const bool done = EVP_EncryptUpdate(cipher.context.get(), bytes, &written, bytes,
                                      static_cast<int>(block.size())) == 1 &&
                    written == static_cast<int>(block.size());
  previous = block;  // the same size: into the same buffer
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
  if (static_cast<unsigned char>(block[0]) & 0x80)
    twice.back() = char(twice.back() ^ (block.size() == 16 ? 0x87 : 0x1B));
  return twice;
}

}  // namespace

bool CtrAcpkm(const EVP_CIPHER* cbc, const std::string& key, const std::string& iv,
              std::size_t section, std::string& data) {
  const auto blockSize = static_cast<std::size_t>(EVP_CIPHER_get_block_size(cbc));
  std::string current = key, counter = iv;
  counter.resize(blockSize, '\0');
  BlockEncryption cipher;
  bool done = SetKey(cipher, cbc, current);
  for (std::size_t at = 0; done && at < data.size(); at += blockSize) {
    if (at > 0 && at % section == 0) {
      done = NextSectionKey(cipher, blockSize, current) && SetKey(cipher, cbc, current);
    }
    std::string gamma = counter;
    done = done && EncryptBlock(cipher, gamma);
    for (std::size_t i = 0; done && i < blockSize && at + i < data.size(); ++i) {
      data[at + i] = char(data[at + i] ^ gamma[i]);
    }
    OPENSSL_cleanse(gamma.data(), gamma.size());
    Increment(counter);
  }
  OPENSSL_cleanse(current.data(), current.size());
  return done;
}

std::string Omac(const EVP_CIPHER* cbc, const std::string& key, const std::string& data) {
  const auto blockSize = static_cast<std::size_t>(EVP_CIPHER_get_block_size(cbc));
  BlockEncryption cipher;
  SecretString first(std::string(blockSize, '\0'));
  if (!SetKey(cipher, cbc, key) || !EncryptBlock(cipher, first.value())) return {};
  const SecretString k1(Doubled(first.value())), k2(Doubled(k1.value()));
  // Every block but the last is chained as it is; the last, whole, takes K1, or padded, K2.
  const std::size_t last = data.empty() ? 0 : (data.size() - 1) / blockSize * blockSize;
  std::string chain(blockSize, '\0');
  for (std::size_t at = 0; at < last; at += blockSize) {
    for (std::size_t i = 0; i < blockSize; ++i) chain[i] = char(chain[i] ^ data[at + i]);
    if (!EncryptBlock(cipher, chain)) return {};
  }
  SecretString lastBlock;  // padded in place: sized before it is filled
  std::string& tail = lastBlock.value();
  tail.reserve(blockSize);
  tail.assign(data, last);
  const bool whole = tail.size() == blockSize;
  if (!whole) tail.append(1, '\x80').resize(blockSize, '\0');
  const std::string& subkey = (whole ? k1 : k2).value();
  for (std::size_t i = 0; i < blockSize; ++i) chain[i] = char(chain[i] ^ tail[i] ^ subkey[i]);
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
  derived.reserve(length + EVP_MAX_MD_SIZE);  // grown in place: no copy of a key left behind
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
