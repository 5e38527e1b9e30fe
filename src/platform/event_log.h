#pragma once
// The application event log: syslog (facility mail), or the file named by KZ_EVENTLOG.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kz::platform {

enum class EventType : uint16_t { Success = 0, Error = 1, Warning = 2, Information = 4 };

// Reports one event under the given source name. Never throws.
void reportEvent(std::string_view source, EventType type, uint32_t eventId,
                 const std::vector<std::string>& strings);

}  // namespace kz::platform
