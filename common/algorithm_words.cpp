#include "common/algorithm_words.h"

#include <openssl/err.h>

#include <string>

namespace {

// The words are ASCII: widened letter by letter, a word is the wide text
// that names it.
bool Names(const std::wstring& typed, const char* word) {
  const std::string text(word);
  return typed == std::wstring(text.begin(), text.end());
}

constexpr AlgorithmWord kWords[] = {
    {"SHA256", "SHA256", "RSA", "RSA Sha256 sign algoritm", "Signing algoritm SHA256",
     "RSA signature "},
    {"GOST", "md_gost12_256", "gost2012_256", "Gost R 3411-2012 sign algoritm",
     "Signing algoritm GOST R 3411-2012", "Gost signature "},
};

}  // namespace

const char kStreebog512Digest[] = "md_gost12_512";

const AlgorithmWord* FindAlgorithmWord(const std::wstring& word) {
  for (const AlgorithmWord& row : kWords) {
    if (Names(word, row.word)) return &row;
  }
  return nullptr;
}

const AlgorithmWord* WordOfDigest(const std::string& digestName) {
  for (const AlgorithmWord& row : kWords) {
    if (digestName == row.digest) return &row;
  }
  return nullptr;
}

const AlgorithmWord& GostWord() { return kWords[1]; }

MdPtr DigestByName(const std::string& name) {
  // An engine's digest is found by name alone; the cast is safe, as freeing a
  // digest that was not fetched does nothing.
  if (const EVP_MD* known = EVP_get_digestbyname(name.c_str())) {
    return MdPtr(const_cast<EVP_MD*>(known));
  }
  ERR_set_mark();  // a name this way does not know is no failure yet
  MdPtr fetched(EVP_MD_fetch(nullptr, name.c_str(), nullptr));
  ERR_pop_to_mark();
  return fetched;
}

CipherPtr CipherByName(const std::string& name) {
  if (const EVP_CIPHER* known = EVP_get_cipherbyname(name.c_str())) {
    return CipherPtr(const_cast<EVP_CIPHER*>(known));
  }
  ERR_set_mark();
  CipherPtr fetched(EVP_CIPHER_fetch(nullptr, name.c_str(), nullptr));
  ERR_pop_to_mark();
  return fetched;
}
