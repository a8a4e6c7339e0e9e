#pragma once

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <string>

#include "common/handles.h"

// Key handles from PEM text held in memory. Each returns a new handle that
// the caller frees, or null without a word when the text holds no such key.
// No read ever asks the user: the library's own prompt would wait on the
// terminal or on standard input. An encrypted private key opens with the
// pass phrase given; an empty one gives the library none, and the read fails.
// A command that takes keys of one type alone names it as `expectedType`: such a key is then read
// by that type's decoders first, which costs a fraction of setting up every type's; any other
// key is still read, for the command to refuse by name.
EVP_PKEY* PemToPrivateKey(const std::string& pem, const std::string& passPhrase = {},
                          const char* expectedType = nullptr);
EVP_PKEY* PemToPublicKey(const std::string& pem);

// PemToPrivateKey on PEM text that a BIO holds: the one private key reader.
EVP_PKEY* PemBioToPrivateKey(BIO* bio, const std::string& passPhrase = {},
                             const char* expectedType = nullptr);

// The pass-phrase callback of every PEM read: hands the library the
// std::string that passPhrase points to, or no pass phrase at all when it is
// null or empty (or longer than the library's buffer).
int GivenPassPhrase(char* buffer, int size, int rwflag, void* passPhrase);

// The public key a key file holds (verify's, and the public key file of CSR): a public key block
// in PEM, or one in DER that is the whole file, or the key of a certificate, in PEM or in DER as
// the whole file (a PEM public key block, when there is one, is what counts). The certificate, when
// it is one, goes to `certificate` if that is given. Null, without a word, for anything else (a
// private key given by mistake included); with a certificate, when its key cannot be had.
EVP_PKEY* KeyFileToPublicKey(const std::string& bytes, X509Ptr* certificate = nullptr);
// The public key of a certificate, a new handle; null when it cannot be decoded.
EVP_PKEY* CertificatePublicKey(X509* cert);
