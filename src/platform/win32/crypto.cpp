#include "platform/crypto.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <bcrypt.h>

namespace kz::platform {

namespace {

bool succeeded(NTSTATUS status) {
    return status >= 0;
}

}  // namespace

bool randomBytes(uint8_t* out, std::size_t size) {
    return succeeded(BCryptGenRandom(nullptr, out, ULONG(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

namespace {

// SHA-256 of the data, keyed (HMAC) when a key is given.
std::optional<Sha256Mac> digest(const uint8_t* key, std::size_t keySize, std::string_view data) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!succeeded(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr,
                                               key ? BCRYPT_ALG_HANDLE_HMAC_FLAG : 0)))
        return std::nullopt;
    Sha256Mac mac{};
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok =
        succeeded(BCryptCreateHash(algorithm, &hash, nullptr, 0, const_cast<PUCHAR>(key),
                                   ULONG(keySize), 0)) &&
        succeeded(BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())),
                                 ULONG(data.size()), 0)) &&
        succeeded(BCryptFinishHash(hash, mac.data(), ULONG(mac.size()), 0));
    if (hash) BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!ok) return std::nullopt;
    return mac;
}

}  // namespace

std::optional<Sha256Mac> sha256(std::string_view data) {
    return digest(nullptr, 0, data);
}

std::optional<Sha256Mac> hmacSha256(const uint8_t* key, std::size_t keySize,
                                    std::string_view data) {
    static const uint8_t kNoKey = 0;
    return digest(key ? key : &kNoKey, keySize, data);
}

std::optional<Sha256Mac> pbkdf2Sha256(std::string_view password, std::string_view salt,
                                      uint32_t iterations) {
    if (iterations == 0) return std::nullopt;
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!succeeded(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr,
                                               BCRYPT_ALG_HANDLE_HMAC_FLAG)))
        return std::nullopt;
    Sha256Mac key{};
    const bool ok = succeeded(BCryptDeriveKeyPBKDF2(
        algorithm, reinterpret_cast<PUCHAR>(const_cast<char*>(password.data())),
        ULONG(password.size()), reinterpret_cast<PUCHAR>(const_cast<char*>(salt.data())),
        ULONG(salt.size()), iterations, key.data(), ULONG(key.size()), 0));
    BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!ok) return std::nullopt;
    return key;
}

bool equalInConstantTime(const uint8_t* a, const uint8_t* b, std::size_t size) {
    volatile uint8_t difference = 0;
    for (std::size_t i = 0; i < size; ++i) difference = difference | uint8_t(a[i] ^ b[i]);
    return difference == 0;
}

void wipeSecret(void* data, std::size_t size) {
    SecureZeroMemory(data, size);
}

}  // namespace kz::platform
