#pragma once
// Events about an unreachable daemon: one a minute at most, however many messages meet
// the same failure, so the event log is not flooded while the daemon is down.

#include <atomic>
#include <chrono>
#include <string_view>

namespace kz::providers {

class EventThrottle {
  public:
    static constexpr std::chrono::seconds kInterval{60};

    // Reports the warning unless one went out less than a minute ago.
    void report(std::string_view text);

  private:
    std::atomic<int64_t> lastReport_{INT64_MIN};
};

}  // namespace kz::providers
