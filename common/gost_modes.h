// The GOST R 34.13-2015 modes and the Streebog key derivations that password-protected files
// of the TC26 2020 profile use. The modes are built here on the block cipher alone (taken one
// block at a time from its CBC mode), and the derivations on the library's HMAC and PBKDF2
// with a digest found by name: both ways of getting GOST (the built-in engine, a provider)
// offer those under the same names, whatever else they offer.
#pragma once

#include <openssl/evp.h>

#include <cstddef>
#include <string>

// Counter mode with a key that changes after every `section` bytes (CTR-ACPKM, R 1323565.1.017):
// the counter block is the IV (half a block) followed by zeros. Encrypts or decrypts `data` in
// place; false when the cipher cannot be keyed. `cbc` is the cipher in CBC mode, as below.
bool CtrAcpkm(const EVP_CIPHER* cbc, const std::string& key, const std::string& iv,
              std::size_t section, std::string& data);

// OMAC (CMAC) of the data, a whole block long; empty when the cipher cannot be keyed.
std::string Omac(const EVP_CIPHER* cbc, const std::string& key, const std::string& data);

// KDF_TREE_GOSTR3411_2012_256 with a one-octet counter (R = 1): `length` bytes, a multiple of
// 32, derived from the key; empty when Streebog-256 is not to be had.
std::string KdfTree256(const std::string& key, const std::string& label, const std::string& seed,
                       std::size_t length);

// PBKDF2 with HMAC over the digest (RFC 8018), the password as its bytes; empty when the
// library refuses.
std::string Pbkdf2(const std::string& password, const std::string& salt, int iterations,
                   const EVP_MD* digest, std::size_t length);
