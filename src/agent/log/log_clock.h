#pragma once
// The clock of the logs: dated lines, the daily file name and "Service Start".

#include <string>

#include "platform/clock.h"

namespace kz::log {

platform::TimePoint LogNow();
// "MM/DD/YY HH:MM:SS" in local time, time zone refreshed first.
std::string LogTimeStamp();
// Tests replace the clock to cross midnight without waiting; an empty function puts
// the system clock back.
void SetLogClockForTest(platform::ClockFn clock);

}  // namespace kz::log
