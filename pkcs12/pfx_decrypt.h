// What the PKCS#12 reader decrypts and checks itself, beside what it leaves to the library: the
// bags of the TC26 2020 profile (Kuznyechik and Magma in CTR-ACPKM, with or without an OMAC
// tag, under PBES2 with PBKDF2), PBMAC1 MACs, and private keys that state their public key.
#pragma once

#include <openssl/x509.h>

#include <string>

#include "common/handles.h"
#include "common/secret.h"

// The library's text for the first error it queued, which the reader's failure line shows. A
// step that fails without a word is named as the library's own parse names it.
std::string LibraryFailure();

// An encrypted part of the file (a shrouded key's or a safe's bytes) decrypted with the
// password (null for none). Empty, with the plaintext in `plain`, or why it cannot be.
std::string DecryptPart(const X509_ALGOR* algorithm, const ASN1_OCTET_STRING* data,
                        const char* password, OSSL_LIB_CTX* library, SecretString& plain);

// True when the file's PBMAC1 MAC (`algorithm`, `mac`) is the one the password makes over its
// authenticated safe.
bool Pbmac1Matches(const std::string& pfxData, const X509_ALGOR* algorithm,
                   const ASN1_OCTET_STRING* mac, const char* password);

// Whether the run has the digest of the file's MAC (a PBMAC1's HMAC, or a PKCS#12 MAC's own):
// a MAC computed without it tells nothing of the password.
bool MacDigestKnown(const X509_ALGOR* algorithm);

// The key of a PKCS#8 private key structure, version 1 or 2; a public key that a version 2
// structure states must be the key's own. Empty, with the key, or why it cannot be read.
std::string ReadPrivateKey(const std::string& der, PkeyPtr& key);
