#include "platform/crypto.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <cstdint>

namespace kz::platform {

bool randomBytes(uint8_t* out, std::size_t size) {
    return RAND_bytes(out, int(size)) == 1;
}

std::optional<Sha256Mac> sha256(std::string_view data) {
    Sha256Mac digest{};
    unsigned int length = 0;
    if (!EVP_Digest(data.data(), data.size(), digest.data(), &length, EVP_sha256(), nullptr) ||
        length != digest.size())
        return std::nullopt;
    return digest;
}

std::optional<Sha256Mac> hmacSha256(const uint8_t* key, std::size_t keySize,
                                    std::string_view data) {
    Sha256Mac mac{};
    unsigned int length = 0;
    if (!HMAC(EVP_sha256(), key, int(keySize), reinterpret_cast<const unsigned char*>(data.data()),
              data.size(), mac.data(), &length) ||
        length != mac.size())
        return std::nullopt;
    return mac;
}

std::optional<Sha256Mac> pbkdf2Sha256(std::string_view password, std::string_view salt,
                                      uint32_t iterations) {
    Sha256Mac key{};
    if (iterations == 0 || iterations > uint32_t(INT32_MAX) ||
        PKCS5_PBKDF2_HMAC(password.data(), int(password.size()),
                          reinterpret_cast<const unsigned char*>(salt.data()), int(salt.size()),
                          int(iterations), EVP_sha256(), int(key.size()), key.data()) != 1)
        return std::nullopt;
    return key;
}

bool equalInConstantTime(const uint8_t* a, const uint8_t* b, std::size_t size) {
    return CRYPTO_memcmp(a, b, size) == 0;
}

void wipeSecret(void* data, std::size_t size) {
    OPENSSL_cleanse(data, size);
}

}  // namespace kz::platform
