#pragma once
// The seal that tells a message the agent queued itself from mail that only carries its
// loop header: a keyed MAC (HMAC-SHA256) of the new message's file name under a secret
// of this installation. Anyone can write "X-KZFilter: 1"; only the holder of the secret
// can write a seal that verifies for the name the message is queued under.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kz {

inline constexpr std::string_view kLoopHeaderName = "X-KZFilter";
inline constexpr std::string_view kLoopSealHeaderName = "X-KZFilter-Seal";

class LoopSeal {
  public:
    static constexpr std::size_t kKeySize = 32;
    using Key = std::array<uint8_t, kKeySize>;

    explicit LoopSeal(const Key& key) : key_(key) {}
    LoopSeal(const LoopSeal&) = default;
    LoopSeal& operator=(const LoopSeal&) = default;
    ~LoopSeal();  // wipes the key

    // The seal of a queued message's file name: 64 lower-case hexadecimal digits.
    std::string sealFor(std::string_view messageName) const;
    // Whether the header value is the seal of the name; compared in constant time.
    bool verifies(std::string_view messageName, std::string_view value) const;

  private:
    Key key_;
};

// The seal of this installation, from the secret under the agent's key. A secret that
// is absent or not 64 hexadecimal digits is created from the system's random source and
// stored; when another process stored one meanwhile, that one is used. Empty when no
// secret can be had.
std::optional<LoopSeal> LoadLoopSeal();

// The seal of the attached process, or null when it has none (nothing is sealed then,
// and nothing verifies). Its owner installs it before the first run and removes it
// after the last, so the runs only read it.
const LoopSeal* CurrentLoopSeal();
void InstallLoopSeal(const LoopSeal* seal);

// The header lines that mark a new queued message as the agent's own: "X-KZFilter: 1"
// and, with a seal, "X-KZFilter-Seal: " and the seal of its name; each ends with eol.
std::string LoopHeaderLines(std::string_view messageName, std::string_view eol);
// The seal line alone (empty without a seal).
std::string LoopSealLine(std::string_view messageName, std::string_view eol);

}  // namespace kz
