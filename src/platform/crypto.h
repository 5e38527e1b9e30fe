#pragma once
// The few cryptographic primitives the agent needs: random bytes, SHA-256, HMAC-SHA256, PBKDF2, and
// the comparison and wiping of secrets.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kz::platform {

using Sha256Mac = std::array<uint8_t, 32>;

// Fills `out` from the system's cryptographic random source; false when it fails.
bool randomBytes(uint8_t* out, std::size_t size);
// SHA-256 of `data`; null when the primitive fails.
std::optional<Sha256Mac> sha256(std::string_view data);
// HMAC-SHA256 of `data` under `key`; null when the primitive fails.
std::optional<Sha256Mac> hmacSha256(const uint8_t* key, std::size_t keySize, std::string_view data);
// PBKDF2-HMAC-SHA256 of `password` with `salt` over `iterations` rounds (a password hash
// that costs a guesser as much as the owner); null when the primitive fails.
std::optional<Sha256Mac> pbkdf2Sha256(std::string_view password, std::string_view salt,
                                      uint32_t iterations);
// Compares in time that does not depend on where the bytes differ.
bool equalInConstantTime(const uint8_t* a, const uint8_t* b, std::size_t size);
// Overwrites a secret in a way the compiler does not remove.
void wipeSecret(void* data, std::size_t size);

}  // namespace kz::platform
