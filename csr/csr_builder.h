// Certificate signing requests (PKCS#10) from a key pair and a subject string.
#pragma once

#include <openssl/x509.h>

#include <string>

// Builds and signs a request: the subject from `subject`, the public key of
// the key pair (a public key file that holds another key is refused with
// "Public key does not match private key" on standard error; one that holds
// none leaves the private key's own public half), the requests
// "basicConstraints CA:FALSE" and "keyUsage digitalSignature,
// keyEncipherment", signed by the private key with the named digest (an empty
// or unknown name leaves the choice to the library). Returns the request as
// PEM text, or an empty string when it cannot be made. A key file that cannot
// be read whole ends the command (FileNotReadWhole, common/files.h).
std::string GenerateCsr(const std::string& digestName, const std::string& privateKeyPath,
                        const std::string& publicKeyPath, const std::string& subject);

// Appends the entries of a subject such as "/C=TJ/O=Org/CN=Name" to `name`,
// one relative distinguished name each, in order. Pieces are split at every
// '/', the field ends at the first '='; pieces without '=' and entries the
// library refuses are left out. Nothing is trimmed or unescaped.
void ParseSubject(X509_NAME* name, const std::string& subject);
