#include "platform/event_log.h"

#include <syslog.h>

#include <cstdlib>
#include <ctime>
#include <mutex>

#include "platform/append_file.h"

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

// A CR LF pair or a lone CR or LF becomes one blank; breaks that end the text are
// dropped, since report texts usually end with one.
std::string flattened(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        out += (c == '\r' || c == '\n') ? ' ' : c;
    }
    return out;
}

std::string joinedStrings(const std::vector<std::string>& strings) {
    std::string joined;
    for (size_t i = 0; i < strings.size(); ++i) {
        if (i) joined += " | ";
        joined += flattened(strings[i]);
    }
    return joined;
}

std::string timeStamp() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    if (std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 0) return {};
    return text;
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

std::string_view eventTypeName(EventType type) {
    switch (type) {
        case EventType::Success:
            return "Success";
        case EventType::Error:
            return "Error";
        case EventType::Warning:
            return "Warning";
        default:
            return "Information";
    }
}

void reportEvent(std::string_view source, EventType type, uint32_t eventId,
                 const std::vector<std::string>& strings) noexcept {
    try {
        std::string name = flattened(source);
        std::string text = joinedStrings(strings);
        const char* file = std::getenv("KZ_EVENTLOG");
        if (file && *file) {
            std::string line = timeStamp() + '\t' + std::string(eventTypeName(type)) + '\t' + name +
                               '\t' + std::to_string(eventId) + '\t' + text + '\n';
            AppendFile log;  // one write per line keeps concurrent reports whole
            if (log.open(file)) log.append(line);
        } else {
            sendToSyslog(name, type, eventId, text);
        }
    } catch (...) {
        // Reporting must never take the caller down; the event is lost.
    }
}

}  // namespace kz::platform
