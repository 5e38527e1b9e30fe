#include "log/event_report.h"

#include <string>
#include <vector>

#include "base/format.h"
#include "base/installed.h"
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

bool EventThrottle::allow(std::chrono::steady_clock::time_point now) {
    using std::chrono::milliseconds;
    const int64_t at = std::chrono::duration_cast<milliseconds>(now.time_since_epoch()).count();
    const int64_t interval = milliseconds(kInterval).count();
    int64_t last = last_.load();
    do {
        if (last != INT64_MIN && at - last < interval) return false;
    } while (!last_.compare_exchange_weak(last, at));
    return true;
}

void ReportThrottledEvent(platform::EventType type, std::string_view message) {
    EventThrottle* throttle = Installed<EventThrottle>::current();
    if (throttle && !throttle->allow(std::chrono::steady_clock::now())) return;
    ReportEvent(type, {}, {}, kAgentEventId, message);
}

}  // namespace kz::log
