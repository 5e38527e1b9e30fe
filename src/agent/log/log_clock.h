#pragma once
// The clock of the logs: dated lines, the daily file name and "Service Start".

#include <string>

#include "platform/clock.h"

namespace kz::log {

// Another clock than the system's, for the logs of the process that installs it
// (Installed<LogClock>): tests cross midnight without waiting.
struct LogClock {
    platform::ClockFn now;
};

platform::TimePoint LogNow();
// "MM/DD/YY HH:MM:SS" in local time, time zone refreshed first.
std::string LogTimeStamp();

}  // namespace kz::log
