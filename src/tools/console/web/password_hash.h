#pragma once
// The console's login password, kept only as a salted PBKDF2-HMAC-SHA256 hash in the text
// form "pbkdf2-sha256$ITERATIONS$SALT$HASH" (salt and hash in lower-case hexadecimal), so
// that the iteration count can grow without making older hashes unreadable.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kz::tool::web {

// The count for new hashes: about a fifth of a second here, which a login pays once and a
// guesser with the stolen hash pays for every guess.
constexpr uint32_t kPasswordIterations = 600000;
// Beyond this a stored hash could make each login attempt a denial of service.
constexpr uint32_t kMaxPasswordIterations = 10000000;

// A new hash with a fresh random salt; null when the system's random source or the
// primitive fails.
std::optional<std::string> HashPassword(std::string_view password,
                                        uint32_t iterations = kPasswordIterations);

// True when `password` gives the stored hash; false for a wrong password and for a stored
// text that is not such a hash (never an exception).
bool VerifyPassword(std::string_view password, std::string_view stored);

// Reads and writes the hash in the registry file under the agent's key.
std::optional<std::string> StoredPasswordHash(const std::string& registryPath);
bool StorePasswordHash(const std::string& registryPath, const std::string& hash, std::string* why);

}  // namespace kz::tool::web
