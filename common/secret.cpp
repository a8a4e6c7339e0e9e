#include "common/secret.h"

#include <openssl/crypto.h>

#include <cwchar>
#include <utility>

void WipeString(std::string& text) {
  // Growing to the capacity never moves the buffer, and makes every byte of
  // it part of the string, so that all of it may be overwritten.
  text.resize(text.capacity());
  OPENSSL_cleanse(text.data(), text.size());
  text.clear();
}

void WipeWideText(wchar_t* text) { OPENSSL_cleanse(text, std::wcslen(text) * sizeof(wchar_t)); }

SecretString::SecretString(std::string&& value) {
  // A short value lives inside the string object: swapped out, its characters
  // stay there until they are wiped.
  value_.swap(value);
  WipeString(value);
}

SecretString::SecretString(SecretString&& other) noexcept : value_(std::move(other.value_)) {
  WipeString(other.value_);
}

SecretString::~SecretString() { WipeString(value_); }
