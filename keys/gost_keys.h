// GOST R 34.10-2012 key pairs (256-bit keys, parameter set TCB) made in a
// library context of their own, stored as two PEM files written byte for byte.
#pragma once

#include <openssl/evp.h>

#include <string>

// Sets up a library context whose provider search path is `OpenSSLPath`
// (up to its first NUL), generates the key and writes the private-key file
// and the public-key file, both or neither, neither over an existing file
// (keys/key_pair_files.h). True only when both were written in full.
bool GenerateAndSaveGostKeys(std::string OpenSSLPath, const std::string& privateKeyPath,
                             const std::string& publicKeyPath);

// Empties this thread's OpenSSL error queue onto standard error, oldest
// first, one "OpenSSL Error: " line per error.
void PrintOpenSslErrors();
