#pragma once
// Entries in the application event log.

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

}  // namespace kz::log
