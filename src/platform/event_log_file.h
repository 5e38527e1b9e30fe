#pragma once
// The event log's texts, and its file route: when KZ_EVENTLOG names a file, events go
// there as one line each instead of to the system's log, on every system alike.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/event_log.h"

namespace kz::platform {

// A CR LF pair or a lone CR or LF becomes one blank; breaks at the end are dropped.
std::string flattenedEventText(std::string_view text);
// The flattened strings joined by " | ".
std::string joinedEventStrings(const std::vector<std::string>& strings);
// True when KZ_EVENTLOG names a file (the event is then appended there or lost).
bool reportEventToFile(std::string_view source, EventType type, uint32_t eventId,
                       const std::vector<std::string>& strings);

}  // namespace kz::platform
