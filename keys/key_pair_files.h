// The one way a generated key pair reaches its two PEM files: both texts
// rendered first, both files made whole beside their places, then moved to
// names that must be free (common/file_writer.h): the pair or nothing, and
// never over a key that is there already.
#pragma once

#include <openssl/evp.h>

#include <string>

#include "common/file_writer.h"

// What kept one file of the pair from being made.
enum class KeyFileFailure {
  Render,   // the key could not be put into PEM text
  Refused,  // the file could not be created
  Failed,   // it was created, but not written whole, or not moved into place
};

// How each kind of key stores and tells its pair: its files' mode, and the
// words for a failure of the private (privateFile) or the public file at path.
// A folder refused for key material is told by the writer itself.
struct KeyPairStyle {
  Mode mode;
  void (*report)(KeyFileFailure failure, bool privateFile, const std::string& path);
};

// Writes the key's private half (unencrypted PKCS#8, owner-only) and public
// half (SubjectPublicKeyInfo); true only when both are in place.
bool WriteKeyPair(EVP_PKEY* key, const std::string& privateKeyPath,
                  const std::string& publicKeyPath, const KeyPairStyle& style);

// PEM texts of a borrowed key; empty when rendering fails.
std::string PrivateKeyToPem(EVP_PKEY* key);
std::string PublicKeyToPem(EVP_PKEY* key);
