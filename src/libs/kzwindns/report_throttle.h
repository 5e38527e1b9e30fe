#pragma once
// A zone that is down fails for every host asked: its problem is logged at most once a
// minute, with the number of lines left out since the last one.

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

namespace kz::windns {

class ReportThrottle {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kInterval{60};

    // -1 when the zone's line is to be left out, else the number left out before it.
    long admit(const std::string& zone, Clock::time_point now);

  private:
    struct State {
        Clock::time_point last;
        long skipped = 0;
    };
    std::mutex mutex_;
    std::unordered_map<std::string, State> zones_;
};

}  // namespace kz::windns
