#pragma once
// The application event log: syslog (facility mail, ident = the source name), or, when
// the environment variable KZ_EVENTLOG names a file, one line per event appended there:
// time stamp, type name, source, event id and the strings joined by " | ", separated
// by tabs. Line breaks inside the strings become blanks, so one event is one line.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kz::platform {

enum class EventType : uint16_t { Success = 0, Error = 1, Warning = 2, Information = 4 };

// Reports one event under the given source name. Never throws; a report that cannot
// be written is dropped.
void reportEvent(std::string_view source, EventType type, uint32_t eventId,
                 const std::vector<std::string>& strings) noexcept;

// "Success", "Error", "Warning", "Information".
std::string_view eventTypeName(EventType type);

}  // namespace kz::platform
