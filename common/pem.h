#pragma once

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <string>

// Key handles from PEM text held in memory. Each returns a new handle that
// the caller frees, or null without a word when the text holds no such key.
// No read ever asks the user: the library's own prompt would wait on the
// terminal or on standard input. An encrypted private key opens with the
// pass phrase given; an empty one gives the library none, and the read fails.
EVP_PKEY* PemToPrivateKey(const std::string& pem, const std::string& passPhrase = {});
EVP_PKEY* PemToPublicKey(const std::string& pem);

// PemToPrivateKey on PEM text that a BIO holds: the one private key reader.
EVP_PKEY* PemBioToPrivateKey(BIO* bio, const std::string& passPhrase = {});

// The pass-phrase callback of every PEM read: hands the library the
// std::string that passPhrase points to, or no pass phrase at all when it is
// null or empty (or longer than the library's buffer).
int GivenPassPhrase(char* buffer, int size, int rwflag, void* passPhrase);

// What the key file of verify holds, when it is no PKCS#12 file. The public key of a PEM public
// key block, or of a DER one that is the whole file; null, without a word, for anything else (a
// private key given by mistake included).
EVP_PKEY* KeyFileToPublicKey(const std::string& bytes);
// The public key of a certificate, a new handle; null when it cannot be decoded.
EVP_PKEY* CertificatePublicKey(X509* cert);
// A certificate in PEM, or in DER as the whole file, that the file holds instead of a public key
// (a PEM public key block, when there is one, is what counts); null, without a word, otherwise.
X509* KeyFileToCertificate(const std::string& bytes);
