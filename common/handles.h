// Owners for OpenSSL handles: each releases its object with the library's own
// free function, so an early return frees what was made. Where the order of
// release matters, declare the owners in the reverse of that order.
#pragma once

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <openssl/decoder.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/provider.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <climits>
#include <memory>
#include <string>

template <auto Free>
struct FreeWith {
  template <typename T>
  void operator()(T* handle) const {
    Free(handle);
  }
};

inline void UnloadProvider(OSSL_PROVIDER* provider) { OSSL_PROVIDER_unload(provider); }
inline void FreeOpenSslText(char* text) { OPENSSL_free(text); }
inline void FreeX509Stack(STACK_OF(X509) * stack) { sk_X509_pop_free(stack, X509_free); }
inline void FreeExtensionStack(STACK_OF(X509_EXTENSION) * stack) {
  sk_X509_EXTENSION_pop_free(stack, X509_EXTENSION_free);
}
inline void FreePkcs7Stack(STACK_OF(PKCS7) * stack) { sk_PKCS7_pop_free(stack, PKCS7_free); }
inline void FreeSafeBagStack(STACK_OF(PKCS12_SAFEBAG) * stack) {
  sk_PKCS12_SAFEBAG_pop_free(stack, PKCS12_SAFEBAG_free);
}

using Asn1IntegerPtr = std::unique_ptr<ASN1_INTEGER, FreeWith<ASN1_INTEGER_free>>;
using Asn1ObjectPtr = std::unique_ptr<ASN1_OBJECT, FreeWith<ASN1_OBJECT_free>>;
using BioPtr = std::unique_ptr<BIO, FreeWith<BIO_free_all>>;
using BignumPtr = std::unique_ptr<BIGNUM, FreeWith<BN_free>>;
using BnCtxPtr = std::unique_ptr<BN_CTX, FreeWith<BN_CTX_free>>;
using CipherCtxPtr = std::unique_ptr<EVP_CIPHER_CTX, FreeWith<EVP_CIPHER_CTX_free>>;
using CipherPtr = std::unique_ptr<EVP_CIPHER, FreeWith<EVP_CIPHER_free>>;
using ExtensionStackPtr = std::unique_ptr<STACK_OF(X509_EXTENSION), FreeWith<FreeExtensionStack>>;
using LibCtxPtr = std::unique_ptr<OSSL_LIB_CTX, FreeWith<OSSL_LIB_CTX_free>>;
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, FreeWith<EVP_MD_CTX_free>>;
using DecoderCtxPtr = std::unique_ptr<OSSL_DECODER_CTX, FreeWith<OSSL_DECODER_CTX_free>>;
using MdPtr = std::unique_ptr<EVP_MD, FreeWith<EVP_MD_free>>;
using OctetStringPtr = std::unique_ptr<ASN1_OCTET_STRING, FreeWith<ASN1_OCTET_STRING_free>>;
using OpenSslTextPtr = std::unique_ptr<char, FreeWith<FreeOpenSslText>>;
using Pbe2ParamPtr = std::unique_ptr<PBE2PARAM, FreeWith<PBE2PARAM_free>>;
using PbeParamPtr = std::unique_ptr<PBEPARAM, FreeWith<PBEPARAM_free>>;
using Pbkdf2ParamPtr = std::unique_ptr<PBKDF2PARAM, FreeWith<PBKDF2PARAM_free>>;
using Pkcs12Ptr = std::unique_ptr<PKCS12, FreeWith<PKCS12_free>>;
using Pkcs7Ptr = std::unique_ptr<PKCS7, FreeWith<PKCS7_free>>;
using Pkcs7StackPtr = std::unique_ptr<STACK_OF(PKCS7), FreeWith<FreePkcs7Stack>>;
using Pkcs8InfoPtr = std::unique_ptr<PKCS8_PRIV_KEY_INFO, FreeWith<PKCS8_PRIV_KEY_INFO_free>>;
using PkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, FreeWith<EVP_PKEY_CTX_free>>;
using PkeyPtr = std::unique_ptr<EVP_PKEY, FreeWith<EVP_PKEY_free>>;
using ProviderPtr = std::unique_ptr<OSSL_PROVIDER, FreeWith<UnloadProvider>>;
using SafeBagStackPtr = std::unique_ptr<STACK_OF(PKCS12_SAFEBAG), FreeWith<FreeSafeBagStack>>;
using ScryptParamsPtr = std::unique_ptr<SCRYPT_PARAMS, FreeWith<SCRYPT_PARAMS_free>>;
using X509NamePtr = std::unique_ptr<X509_NAME, FreeWith<X509_NAME_free>>;
using X509Ptr = std::unique_ptr<X509, FreeWith<X509_free>>;
using X509PubkeyPtr = std::unique_ptr<X509_PUBKEY, FreeWith<X509_PUBKEY_free>>;
using X509SigPtr = std::unique_ptr<X509_SIG, FreeWith<X509_SIG_free>>;
using X509ReqPtr = std::unique_ptr<X509_REQ, FreeWith<X509_REQ_free>>;
using X509StackPtr = std::unique_ptr<STACK_OF(X509), FreeWith<FreeX509Stack>>;

// Copies out the bytes a memory BIO holds, by their length (they may hold NULs).
inline std::string MemoryBioContents(BIO* bio) {
  BUF_MEM* buffer = nullptr;
  BIO_get_mem_ptr(bio, &buffer);
  return buffer == nullptr ? std::string() : std::string(buffer->data, buffer->length);
}

// A read-only memory BIO over the bytes themselves (nothing is copied, so they
// must outlive it). Null when memory is exhausted or the bytes are more than
// the library's int length can describe.
inline BioPtr ReadOnlyMemoryBio(const std::string& bytes) {
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) return nullptr;
  return BioPtr(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
}
