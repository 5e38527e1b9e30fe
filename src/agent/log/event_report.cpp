#include "log/event_report.h"

#include <string>
#include <vector>

#include "base/format.h"
#include "platform/process_info.h"

namespace kz::log {

void ReportEvent(platform::EventType type, std::string_view source, std::string_view,
                 uint32_t eventId, std::string_view message) {
    // Taken first, before anything here can change it.
    int lastError = platform::lastErrorCode();
    std::string_view name = source.empty() ? kDefaultEventSource : source;
    std::string executable = platform::executablePath();
    std::vector<std::string> strings{
        formatText("%s (%s) error: %d", "Kaztrel Filter Provider", executable.c_str(), lastError),
        std::string(message)};
    platform::reportEvent(name, type, eventId, strings);
}

}  // namespace kz::log
