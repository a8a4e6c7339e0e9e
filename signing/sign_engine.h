// The signing engine behind the sign command.
#pragma once

#include <string>

#include "common/files.h"

// Signs data with the private key in keyData (PEM text, or the bytes of the
// PKCS#12 file pkcs12File when that path is not empty) and the named digest,
// and returns the one-line record {"serial":"<certificate serial, hex>",
// "sign":"<Base64 signature>"}; the serial is that of the PKCS#12 file's
// certificate of the key, and a file without one is told on standard error. The password opens the
// PKCS#12 file or an encrypted PEM key. OpenSSLPath becomes the provider search path of the default
// library context, where the "default" provider is loaded and stays loaded. A key of a kind the
// digest's word does not sign with is refused (signing/key_suits.h). Empty on any failure, with a
// line on standard error for every failure outside the signing calls themselves. The data is read
// only once the key is ready, as the library digests it.
std::string SignData(const std::string& OpenSSLPath, const std::string& keyData,
                     const std::string& digestName, InputFile& data, const std::string& password,
                     const std::string& pkcs12File);
