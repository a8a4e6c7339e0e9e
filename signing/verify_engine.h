// The verification engine of the verify command.
#pragma once

#include <openssl/evp.h>

#include <string>

#include "common/files.h"

// Checks a raw signature over the data with a public key (borrowed) and a
// digest named as a word's row names it (common/algorithm_words.h). Prints
// nothing but the refusal of a key of another kind than the digest's word
// (signing/key_suits.h); true only when the library's final verification
// step reports success.
// OpenSSLPath becomes the provider search path of the default library context.
bool VerifySignature(const std::string& OpenSSLPath, EVP_PKEY* key, const std::string& digestName,
                     InputFile& data, const std::string& signature);
