// Ceilings on the work a password-protected file may ask for before it can be opened: the
// rounds of a key derivation are the file's to choose, and a hostile or broken file asks for
// hours. Both readers of encrypted keys (PKCS#12 files and PEM keys) check here first.
#pragma once

#include <openssl/asn1.h>
#include <openssl/x509.h>

#include <cstdint>
#include <string>

// An algorithm's parameters decoded as the structure `item` describes; null when they are not.
template <typename Params>
Params* Unpack(const ASN1_ITEM* item, const ASN1_TYPE* parameter) {
  return static_cast<Params*>(ASN1_TYPE_unpack_sequence(item, parameter));
}

// Real files use a few thousand rounds, a few hundred thousand at most.
constexpr std::int64_t kMaxIterations = 10000000;
// scrypt's work and memory grow with N·r·p; openssl writes 2^17.
constexpr std::uint64_t kMaxScryptCost = 4194304;

// Why a count of rounds is refused, "iteration count N exceeds 10000000"; empty when it lies
// within 0 to kMaxIterations or is absent (one round).
std::string RefusedCount(const ASN1_INTEGER* count);

// Why the derivation of a password-based algorithm is refused (its count, or "scrypt cost N
// exceeds 4194304"); empty when it may run. The older schemes' single parameter block, PBES2
// and PBMAC1 with PBKDF2 or scrypt are examined; parameters of another shape are left to the
// library, which reads them before it derives anything.
std::string RefusedDerivation(const X509_ALGOR* algorithm);

// True when an encrypted PKCS#8 key ("ENCRYPTED PRIVATE KEY") in the PEM text asks for a
// derivation that RefusedDerivation refuses.
bool PemKeyDerivationRefused(const std::string& pem);
