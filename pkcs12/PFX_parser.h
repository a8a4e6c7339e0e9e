// PKCS#12 (PFX) files: reading the signer's key and identity, reading the
// certificate for verification, and building a file from PEM inputs.
#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <string>

// Private key of a PKCS#12 file; fills the certificate's serial number
// (upper-case hex). The returned key belongs to the caller; null on failure.
EVP_PKEY* PfxToPrivateKey(const std::string& pfxData, const std::string& password,
                          std::string& serialnumber);

// Certificate of a PKCS#12 file; the caller owns it. Null on failure.
X509* PfxToCertificate(const std::string& pfxData, const std::string& password);

// The certificate's public key as PEM text (SubjectPublicKeyInfo), or empty.
std::string CertificateToPublicKeyPem(X509* cert);

// Packs key, certificate and optional CA certificate (PEM files) into a
// password-protected PKCS#12 file. True when the file was written.
bool GeneratePkcs12(const std::string& certPath, const std::string& keyPath,
                    const std::string& caCertPath, const std::string& password,
                    const std::string& friendlyName, const std::string& outPath);
