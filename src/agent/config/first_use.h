#pragma once
// A registry value read on first use and kept from then on. The sentinel marks it
// unread, and a separate flag keeps a registry value equal to the sentinel from being
// read again and again. Two threads racing on the first read both store the same value.

#include <atomic>
#include <cstdint>
#include <string_view>

namespace kz::config {

inline constexpr uint32_t kNotRead = 0xFFFFFFFFu;
inline constexpr uint32_t kNotReadAlternate = 200000;

class FirstUse {
  public:
    constexpr FirstUse(std::string_view key, std::string_view name, uint32_t fallback,
                       uint32_t sentinel = kNotRead)
        : key_(key), name_(name), fallback_(fallback), value_(sentinel) {}

    uint32_t get();
    // The registry value now, leaving the kept one alone.
    uint32_t readNow() const;

  private:
    std::string_view key_;
    std::string_view name_;
    uint32_t fallback_;
    std::atomic<uint32_t> value_;
    std::atomic<bool> read_{false};
};

}  // namespace kz::config
