#pragma once
// The console's logged-in sessions: a random session id (the cookie) and a CSRF token of
// its own, both 256 bits from the system's random source. Sessions end after 30 minutes
// unused or 8 hours in all; at most 64 live at once, the least recently used going first,
// so a flood of logins cannot grow memory. Shared by the server's threads: every member
// takes the store's lock.

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace kz::tool::web {

using Clock = std::chrono::steady_clock;

struct Session {
    std::string id;
    std::string csrf;
};

class SessionStore {
  public:
    static constexpr std::chrono::minutes kIdleLimit{30};
    static constexpr std::chrono::hours kLifeLimit{8};
    static constexpr std::size_t kMaxSessions = 64;

    // A new session; null when the random source fails.
    std::optional<Session> create(Clock::time_point now);
    // The live session of this id, marked as used now; expired ones are removed.
    std::optional<Session> find(const std::string& id, Clock::time_point now);
    void remove(const std::string& id);

  private:
    struct Entry {
        std::string csrf;
        Clock::time_point created;
        Clock::time_point used;
    };
    bool expired(const Entry& entry, Clock::time_point now) const;

    std::mutex mutex_;
    std::unordered_map<std::string, Entry> sessions_;
};

// A token of `bytes` random bytes in hexadecimal; empty when the random source fails.
std::string RandomToken(std::size_t bytes = 32);

// Compares a token given by a client with the expected one in constant time.
bool SameToken(const std::string& given, const std::string& expected);

}  // namespace kz::tool::web
