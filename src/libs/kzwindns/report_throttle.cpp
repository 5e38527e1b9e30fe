#include "report_throttle.h"

namespace kz::windns {

long ReportThrottle::admit(const std::string& zone, Clock::time_point now) {
    std::lock_guard hold(mutex_);
    auto [at, first] = zones_.try_emplace(zone);
    State& state = at->second;
    if (!first && now - state.last < kInterval) {
        ++state.skipped;
        return -1;
    }
    const long skipped = state.skipped;
    state = {now, 0};
    return skipped;
}

}  // namespace kz::windns
