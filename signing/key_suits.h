// Which key suits which algorithm word of sign and verify.
#pragma once

#include <openssl/evp.h>

#include <string>

// Whether the key is of the one type that the word whose digest this is takes
// (common/algorithm_words.h). When it is not, "Key does not suit WORD: TYPE"
// on standard error.
bool KeySuitsDigest(const EVP_PKEY* key, const std::string& digestName);

// The key's type as the user is told it: the library's name for a key of a
// provider ("RSA", "EC", "ED25519"), the lower-case short name of its
// algorithm for one of an engine ("gost2012_256", "gost2012_512").
std::string KeyTypeName(const EVP_PKEY* key);
