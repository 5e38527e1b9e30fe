#include "log/log_clock.h"

#include <mutex>

#include "log/lasting.h"

namespace kz::log {

namespace {

struct LogClock {
    std::mutex mutex;
    platform::ClockFn now;  // empty: the system clock
};

LogClock& logClock() {
    return Lasting<LogClock>();
}

}  // namespace

platform::TimePoint LogNow() {
    LogClock& clock = logClock();
    std::unique_lock lock(clock.mutex);
    if (!clock.now) return platform::systemNow();
    platform::ClockFn now = clock.now;
    lock.unlock();
    return now();
}

std::string LogTimeStamp() {
    return platform::logTimeStamp(LogNow());
}

void SetLogClockForTest(platform::ClockFn clock) {
    LogClock& state = logClock();
    std::lock_guard lock(state.mutex);
    state.now = std::move(clock);
}

}  // namespace kz::log
