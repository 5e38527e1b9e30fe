#include "platform/event_log.h"

#include <syslog.h>

#include <mutex>

#include "platform/event_log_file.h"

namespace kz::platform {

namespace {

int syslogLevel(EventType type) {
    switch (type) {
        case EventType::Error:
            return LOG_ERR;
        case EventType::Warning:
            return LOG_WARNING;
        default:
            return LOG_INFO;
    }
}

// openlog keeps the ident pointer and is process-wide; the lock keeps our ident in
// place for the length of one report.
std::mutex syslogMutex;

void sendToSyslog(const std::string& source, EventType type, uint32_t eventId,
                  const std::string& text) {
    std::lock_guard<std::mutex> hold(syslogMutex);
    ::openlog(source.c_str(), LOG_PID, LOG_MAIL);
    ::syslog(LOG_MAIL | syslogLevel(type), "%s %u: %s", std::string(eventTypeName(type)).c_str(),
             unsigned(eventId), text.c_str());
    ::closelog();
}

}  // namespace

void reportEvent(std::string_view source, EventType type, uint32_t eventId,
                 const std::vector<std::string>& strings) noexcept {
    try {
        if (reportEventToFile(source, type, eventId, strings)) return;
        sendToSyslog(flattenedEventText(source), type, eventId, joinedEventStrings(strings));
    } catch (...) {
        // Reporting must never take the caller down; the event is lost.
    }
}

}  // namespace kz::platform
