// PKCS#12 (PFX) files: reading the signer's key and identity, reading the
// certificate for verification, and building a file from PEM inputs.
#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <string>

// Private key of a PKCS#12 file; fills the serial number (upper-case hex) of
// the file's certificate of that key, and leaves it as it was when there is none. The returned key
// belongs to the caller; null on failure.
EVP_PKEY* PfxToPrivateKey(const std::string& pfxData, const std::string& password,
                          std::string& serialnumber);

// Certificate of a PKCS#12 file (pkcs12/pfx_open.h says which); the caller
// owns it. Null on failure.
X509* PfxToCertificate(const std::string& pfxData, const std::string& password);

// Packs key, certificate and optional CA certificate (PEM files) into a
// password-protected PKCS#12 file. True when the file was written.
bool GeneratePkcs12(const std::string& certPath, const std::string& keyPath,
                    const std::string& caCertPath, const std::string& password,
                    const std::string& friendlyName, const std::string& outPath);
