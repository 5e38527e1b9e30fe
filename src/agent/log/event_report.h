#pragma once
// Entries in the application event log.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string_view>

#include "platform/event_log.h"

namespace kz::log {

// The identifier of every event the agent reports.
constexpr uint32_t kAgentEventId = 1073741825;  // 0x40000001
constexpr std::string_view kDefaultEventSource = "Kaztrel";

// One event of `type` under `source` ("Kaztrel" when empty) with two strings: who
// reports, from which executable and with which last error, then `message`.
// `ignored` is accepted for the callers' sake and not used.
void ReportEvent(platform::EventType type, std::string_view source, std::string_view ignored,
                 uint32_t eventId, std::string_view message);

// Events a bad spell (a full disk, a missing folder) would raise for every message: one a
// minute at most. The attached process installs one (Installed<EventThrottle>).
class EventThrottle {
  public:
    static constexpr std::chrono::seconds kInterval{60};
    // True for the first call and then for the first after each minute.
    bool allow(std::chrono::steady_clock::time_point now);

  private:
    std::atomic<int64_t> last_{INT64_MIN};
};

// ReportEvent under the default source, unless the installed throttle let one through
// less than a minute ago; without one installed, every event goes out.
void ReportThrottledEvent(platform::EventType type, std::string_view message);

}  // namespace kz::log
