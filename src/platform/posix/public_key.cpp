#include "platform/public_key.h"

#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <memory>

namespace kz::platform {

namespace {

const unsigned char* bytes(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextFree {
    void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};
struct DigestFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;

}  // namespace

SignatureOutcome verifyRsaSha256(std::string_view publicKeyInfo, const Sha256Digest& digest,
                                 std::string_view signature, unsigned& keyBits) {
    const unsigned char* cursor = bytes(publicKeyInfo);
    Key key(d2i_PUBKEY(nullptr, &cursor, long(publicKeyInfo.size())));
    if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA) return SignatureOutcome::badKey;
    keyBits = unsigned(EVP_PKEY_get_size(key.get())) * 8;
    std::unique_ptr<EVP_PKEY_CTX, ContextFree> context(EVP_PKEY_CTX_new(key.get(), nullptr));
    if (!context || EVP_PKEY_verify_init(context.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) != 1 ||
        EVP_PKEY_CTX_set_signature_md(context.get(), EVP_sha256()) != 1)
        return SignatureOutcome::badKey;
    return EVP_PKEY_verify(context.get(), bytes(signature), signature.size(), digest.data(),
                           digest.size()) == 1
               ? SignatureOutcome::valid
               : SignatureOutcome::invalid;
}

SignatureOutcome verifyEd25519(std::string_view publicKey, std::string_view message,
                               std::string_view signature) {
    Key key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, bytes(publicKey), publicKey.size()));
    if (!key) return SignatureOutcome::badKey;
    std::unique_ptr<EVP_MD_CTX, DigestFree> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return SignatureOutcome::badKey;
    return EVP_DigestVerify(context.get(), bytes(signature), signature.size(), bytes(message),
                            message.size()) == 1
               ? SignatureOutcome::valid
               : SignatureOutcome::invalid;
}

}  // namespace kz::platform
