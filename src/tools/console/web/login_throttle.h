#pragma once
// Slows down password guessing: after three failed logins from one address, that address
// must wait before its next attempt, four seconds after the third failure and twice as
// long after each further one, at most ten minutes; an attempt while it waits is refused
// unheard (no hash is computed, so guessing costs no CPU either). All addresses together
// get the same treatment on a larger scale (ten free failures), so that many addresses
// gain nothing. A success forgets the address's failures, and so does twenty minutes without one.
// At most 4096 addresses are remembered, the oldest dropped first. Shared by the server's threads.

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "sessions.h"

namespace kz::tool::web {

class LoginThrottle {
  public:
    static constexpr unsigned kFreeFailures = 3;
    static constexpr unsigned kFreeFailuresAll = 10;
    static constexpr std::chrono::seconds kFirstWait{4};
    static constexpr std::chrono::seconds kLongestWait{600};
    static constexpr std::size_t kMaxAddresses = 4096;

    // How long `address` must still wait; null when it may try now.
    std::optional<std::chrono::seconds> waitFor(const std::string& address, Clock::time_point now);
    void failed(const std::string& address, Clock::time_point now);
    void succeeded(const std::string& address);

  private:
    struct Record {
        unsigned failures = 0;
        Clock::time_point last;
        Clock::time_point until;
    };
    static void count(Record& record, unsigned free, Clock::time_point now);

    std::mutex mutex_;
    std::map<std::string, Record> addresses_;
    Record all_;
};

}  // namespace kz::tool::web
