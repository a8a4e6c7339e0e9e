// The signing engine behind the sign command.
#pragma once

#include <string>

#include "common/files.h"

// Signs data with the private key in keyData (PEM text, or PKCS#12 bytes when
// extension is "PFX", "pfx" or "Pfx") and the named digest, and returns the
// one-line record {"serial":"<certificate serial, hex>","sign":"<Base64
// signature>"}. The password opens the PKCS#12 file or an encrypted PEM key.
// OpenSSLPath becomes the provider search path of the default library
// context, where the "default" provider is loaded and stays loaded. A key of
// a kind the digest's word does not sign with is refused (signing/key_suits.h).
// Empty on any failure, with a line on standard error for every failure
// outside the signing calls themselves. The data is read only once the key is
// ready, as the library digests it.
std::string SignData(const std::string& OpenSSLPath, const std::string& keyData,
                     const std::string& digestName, InputFile& data, const std::string& password,
                     const std::string& extension);
