#pragma once
// Deadlines for the bounded waits of the platform layer.

#include <chrono>

namespace kz::platform {

using SteadyClock = std::chrono::steady_clock;

// Now plus the bound; a bound of zero or less is now, and a bound beyond the clock's
// range is time_point::max() ("wait as long as it takes").
inline SteadyClock::time_point deadlineAfter(std::chrono::milliseconds bound) {
    SteadyClock::time_point now = SteadyClock::now();
    if (bound.count() <= 0) return now;
    if (bound >=
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::time_point::max() - now))
        return SteadyClock::time_point::max();
    return now + bound;
}

}  // namespace kz::platform
