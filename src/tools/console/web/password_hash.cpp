#include "password_hash.h"

#include <array>
#include <charconv>

#include "config/registry_keys.h"
#include "platform/crypto.h"
#include "platform/registry.h"

namespace kz::tool::web {

namespace {

constexpr std::string_view kScheme = "pbkdf2-sha256";
constexpr std::size_t kSaltSize = 16;

std::string hex(const uint8_t* data, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 15];
    }
    return out;
}

std::optional<std::string> unhex(std::string_view text) {
    if (text.empty() || text.size() % 2 != 0) return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned byte = 0;
        auto [end, error] = std::from_chars(text.data() + i, text.data() + i + 2, byte, 16);
        if (error != std::errc() || end != text.data() + i + 2) return std::nullopt;
        out += char(byte);
    }
    return out;
}

// The next '$'-separated field of `rest`, which loses it.
std::string_view nextField(std::string_view& rest) {
    std::size_t dollar = rest.find('$');
    std::string_view field = rest.substr(0, dollar);
    rest = dollar == std::string_view::npos ? std::string_view() : rest.substr(dollar + 1);
    return field;
}

}  // namespace

std::optional<std::string> HashPassword(std::string_view password, uint32_t iterations) {
    std::array<uint8_t, kSaltSize> salt{};
    if (!platform::randomBytes(salt.data(), salt.size())) return std::nullopt;
    std::string_view saltText(reinterpret_cast<const char*>(salt.data()), salt.size());
    auto key = platform::pbkdf2Sha256(password, saltText, iterations);
    if (!key) return std::nullopt;
    std::string out = std::string(kScheme) + "$" + std::to_string(iterations) + "$" +
                      hex(salt.data(), salt.size()) + "$" + hex(key->data(), key->size());
    platform::wipeSecret(key->data(), key->size());
    return out;
}

bool VerifyPassword(std::string_view password, std::string_view stored) {
    std::string_view rest = stored;
    if (nextField(rest) != kScheme) return false;
    std::string_view count = nextField(rest);
    uint32_t iterations = 0;
    auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), iterations);
    if (error != std::errc() || end != count.data() + count.size() || iterations == 0 ||
        iterations > kMaxPasswordIterations)
        return false;
    auto salt = unhex(nextField(rest));
    auto expected = unhex(nextField(rest));
    if (!salt || !expected || !rest.empty() || expected->size() != platform::Sha256Mac().size())
        return false;
    auto key = platform::pbkdf2Sha256(password, *salt, iterations);
    if (!key) return false;
    const bool same = platform::equalInConstantTime(
        key->data(), reinterpret_cast<const uint8_t*>(expected->data()), key->size());
    platform::wipeSecret(key->data(), key->size());
    return same;
}

std::optional<std::string> StoredPasswordHash(const std::string& registryPath) {
    auto value =
        platform::Registry(registryPath).query(config::kAgentKey, config::kWebConsolePassword);
    if (!value || value->asString().empty()) return std::nullopt;
    return value->asString();
}

bool StorePasswordHash(const std::string& registryPath, const std::string& hash, std::string* why) {
    platform::RegResult result =
        platform::Registry(registryPath)
            .setString(config::kAgentKey, config::kWebConsolePassword, hash);
    if (!result.ok() && why) *why = result.message;
    return result.ok();
}

}  // namespace kz::tool::web
