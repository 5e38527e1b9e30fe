#pragma once
// The seals of the messages the milter handed to the MTA. When such a message comes back
// through the milter (submitted by SMTP, or a sendmail path with milters), it is let
// through unfiltered: the agent's seal only verifies under the name it was queued with,
// and the message comes back under a new one.

#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>

namespace kz::tool {

class HandedOnSeals {
  public:
    using Clock = std::chrono::steady_clock;
    explicit HandedOnSeals(std::size_t capacity = 10000,
                           Clock::duration lifetime = std::chrono::hours(1))
        : capacity_(capacity), lifetime_(lifetime) {}

    void remember(std::string seal);
    // True once for a remembered seal: it is forgotten then, so a copy cannot pass twice.
    bool takeBack(std::string_view seal);

  private:
    void expire(Clock::time_point now);
    struct Entry {
        std::string seal;
        Clock::time_point at;
    };
    std::mutex mutex_;
    std::deque<Entry> entries_;
    std::size_t capacity_;
    Clock::duration lifetime_;
};

}  // namespace kz::tool
