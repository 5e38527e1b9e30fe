#pragma once
// The seals of the messages the milter handed to the MTA and expects back through the
// milter (submitted by SMTP, or a sendmail path with milters). A seal is only remembered
// while its message is on its way, and it is bound to the message: its body's digest
// must match as well. A message that comes back is queued under the name it was handed
// on with, where the agent's own seal verifies: the agent then applies its antivirus
// verdict alone, as to every message it queued itself.

#include <chrono>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace kz::tool {

class HandedOnSeals {
  public:
    using Clock = std::chrono::steady_clock;
    explicit HandedOnSeals(std::size_t capacity = 10000,
                           Clock::duration lifetime = std::chrono::minutes(10))
        : capacity_(capacity), lifetime_(lifetime) {}

    void remember(std::string seal, std::string name, std::string bodyDigest);
    // The MTA refused the message: it is not on its way.
    void forget(std::string_view seal);
    // The name a message with this seal and body was handed on with, once: it is
    // forgotten then, so a copy cannot pass twice.
    std::optional<std::string> takeBack(std::string_view seal, std::string_view bodyDigest);

  private:
    void expire(Clock::time_point now);
    struct Entry {
        std::string seal, name, digest;
        Clock::time_point at;
    };
    std::mutex mutex_;
    std::deque<Entry> entries_;
    std::size_t capacity_;
    Clock::duration lifetime_;
};

}  // namespace kz::tool
