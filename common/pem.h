#pragma once

#include <openssl/evp.h>

#include <string>

// Key handles from PEM text held in memory. Each returns a new handle that
// the caller frees, or null without a word when the text holds no such key.
EVP_PKEY* PemToPrivateKey(const std::string& pem);
EVP_PKEY* PemToPublicKey(const std::string& pem);
