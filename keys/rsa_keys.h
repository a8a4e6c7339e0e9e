// RSA key pairs in OpenSSL's default library context, stored as two PEM
// files: the private key as unencrypted PKCS#8, the public key as a
// SubjectPublicKeyInfo. Every failure is told on standard error, one line each.
#pragma once

#include <openssl/evp.h>

#include <string>

// Generates a key of `bits` bits and writes the private-key file, then the
// public-key file. True only when both were written.
bool GenerateAndSaveRsaKeys(int bits, const std::string& privateKeyPath,
                            const std::string& publicKeyPath);

// A new key that the caller frees with EVP_PKEY_free, or null. The size is
// left for the library to judge.
EVP_PKEY* GenerateRsaKey(int bits);

// PEM texts of a borrowed key; empty when rendering fails.
std::string PrivateKeyToPem(EVP_PKEY* pkey);
std::string PublicKeyToPem(EVP_PKEY* pkey);

// Write a PEM text to a path, text first, all or nothing (the private key for its
// owner alone). False, with a line on standard error, when it was not written whole.
bool SavePrivateKey(const std::string& privateKey, const std::string& path);
bool SavePublicKey(const std::string& publicKey, const std::string& path);
