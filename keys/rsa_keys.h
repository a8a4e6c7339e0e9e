// RSA key pairs in OpenSSL's default library context, stored as two PEM
// files: the private key as unencrypted PKCS#8, the public key as a
// SubjectPublicKeyInfo. Every failure is told on standard error, one line each.
#pragma once

#include <openssl/evp.h>

#include <string>

// Generates a key of `bits` bits and writes the private-key file and the
// public-key file, both or neither, neither over an existing file
// (keys/key_pair_files.h). True only when both were written.
bool GenerateAndSaveRsaKeys(int bits, const std::string& privateKeyPath,
                            const std::string& publicKeyPath);

// A new key that the caller frees with EVP_PKEY_free, or null. The size is
// left for the library to judge.
EVP_PKEY* GenerateRsaKey(int bits);
