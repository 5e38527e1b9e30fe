#include "log/log_clock.h"

#include "base/installed.h"

namespace kz::log {

platform::TimePoint LogNow() {
    const LogClock* clock = Installed<LogClock>::current();
    return clock && clock->now ? clock->now() : platform::systemNow();
}

std::string LogTimeStamp() {
    return platform::logTimeStamp(LogNow());
}

}  // namespace kz::log
