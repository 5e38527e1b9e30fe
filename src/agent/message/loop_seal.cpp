#include "message/loop_seal.h"

#include <atomic>
#include <optional>

#include "config/registry_access.h"
#include "config/registry_keys.h"
#include "log/debug_log.h"
#include "platform/crypto.h"

namespace kz {

namespace {

using Mac = platform::Sha256Mac;

std::atomic<const LoopSeal*> gCurrentSeal{nullptr};

std::optional<Mac> ComputeMac(const LoopSeal::Key& key, std::string_view name) {
    return platform::hmacSha256(key.data(), key.size(), name);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// 64 hexadecimal digits, blanks and line ends around them ignored.
std::optional<Mac> ParseMac(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n'))
        text.remove_suffix(1);
    Mac mac{};
    if (text.size() != 2 * mac.size()) return std::nullopt;
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const int high = HexDigit(text[2 * i]);
        const int low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        mac[i] = uint8_t(high << 4 | low);
    }
    return mac;
}

std::string HexText(const Mac& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : bytes) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0xF]);
    }
    return text;
}

std::optional<LoopSeal::Key> ReadStoredKey(std::string_view keyPath) {
    std::string text;
    if (!config::RegReadString(keyPath, config::kLoopSealKey, text,
                               TextLimit{2 * LoopSeal::kKeySize + 1}))
        return std::nullopt;
    std::optional<LoopSeal::Key> key = ParseMac(text);
    platform::wipeSecret(text.data(), text.size());
    return key;
}

// Into the protected key, restricted before the secret is written there.
bool StoreKey(const LoopSeal::Key& key) {
    platform::Registry& registry = config::machineRegistry();
    if (!registry.restrictKey(config::kLoopSealKeyPath).ok()) return false;
    std::string text = HexText(key);
    const bool stored =
        registry.setString(config::kLoopSealKeyPath, config::kLoopSealKey, text).ok();
    platform::wipeSecret(text.data(), text.size());
    return stored;
}

// A key an older version left readable under the agent's key.
std::optional<LoopSeal::Key> MoveOldKey() {
    std::optional<LoopSeal::Key> old = ReadStoredKey(config::kAgentKey);
    if (old && StoreKey(*old))
        config::machineRegistry().deleteValue(config::kAgentKey, config::kLoopSealKey);
    return old;
}

}  // namespace

LoopSeal::~LoopSeal() {
    platform::wipeSecret(key_.data(), key_.size());
}

std::string LoopSeal::sealFor(std::string_view messageName) const {
    std::optional<Mac> mac = ComputeMac(key_, messageName);
    return mac ? HexText(*mac) : std::string();
}

bool LoopSeal::verifies(std::string_view messageName, std::string_view value) const {
    std::optional<Mac> given = ParseMac(value);
    if (!given) return false;
    std::optional<Mac> expected = ComputeMac(key_, messageName);
    return expected &&
           platform::equalInConstantTime(given->data(), expected->data(), expected->size());
}

std::optional<LoopSeal> LoadLoopSeal() {
    if (std::optional<LoopSeal::Key> stored = ReadStoredKey(config::kLoopSealKeyPath))
        return LoopSeal(*stored);
    if (std::optional<LoopSeal::Key> old = MoveOldKey()) return LoopSeal(*old);
    LoopSeal::Key fresh{};
    if (!platform::randomBytes(fresh.data(), fresh.size())) {
        log::DebugLog("No loop seal key could be created: the random source failed\n");
        return std::nullopt;
    }
    StoreKey(fresh);
    std::optional<LoopSeal::Key> stored = ReadStoredKey(config::kLoopSealKeyPath);
    if (!stored) {
        // Sealed for this process only: after a restart its messages are filtered again.
        log::DebugLog("The loop seal key could not be stored in the registry\n");
        stored = fresh;
    }
    platform::wipeSecret(fresh.data(), fresh.size());
    return LoopSeal(*stored);
}

const LoopSeal* CurrentLoopSeal() {
    return gCurrentSeal.load(std::memory_order_acquire);
}

void InstallLoopSeal(const LoopSeal* seal) {
    gCurrentSeal.store(seal, std::memory_order_release);
}

std::string LoopSealLine(std::string_view messageName, std::string_view eol) {
    const LoopSeal* seal = CurrentLoopSeal();
    if (!seal) return {};
    std::string value = seal->sealFor(messageName);
    if (value.empty()) return {};
    std::string line(kLoopSealHeaderName);
    return line.append(": ").append(value).append(eol);
}

std::string LoopHeaderLines(std::string_view messageName, std::string_view eol) {
    std::string lines(kLoopHeaderName);
    lines.append(": 1").append(eol);
    return lines.append(LoopSealLine(messageName, eol));
}

}  // namespace kz
