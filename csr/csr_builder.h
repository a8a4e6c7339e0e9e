// Certificate signing requests (PKCS#10) from a key pair and a subject string.
#pragma once

#include <openssl/x509.h>

#include <string>

// Builds and signs a request: the subject from `subject` (ParseSubject), the
// public key read from the public key file as verify reads its key file (a
// public key or a certificate, PEM or DER), the requests "basicConstraints
// CA:FALSE" and "keyUsage digitalSignature, keyEncipherment", signed by the
// private key with the named digest. The private key must be of the type the
// digest's word takes (signing/key_suits.h) and the public key its own half;
// each refusal is told on standard error ("Failed to load private key.",
// "No public key in PATH", "Public key does not match private key"). Returns
// the request as PEM text, or an empty string when it cannot be made. A key
// file that cannot be read whole ends the command (FileNotReadWhole,
// common/files.h).
std::string GenerateCsr(const std::string& digestName, const std::string& privateKeyPath,
                        const std::string& publicKeyPath, const std::string& subject);

// Appends the entries of a subject such as "/C=TJ/O=Org/CN=Name" to `name`,
// one relative distinguished name each, in order: all of them, or false after
// "Subject field refused: PIECE: REASON" (or "Subject is empty" for a subject
// with no field) on standard error. Pieces are split at every '/' (a leading
// one is optional; empty pieces are skipped) and the field name ends at the
// first '='; in a value "\/" stands for '/' and "\\" for '\'.
bool ParseSubject(X509_NAME* name, const std::string& subject);
