#include "platform/event_log_file.h"

#include "platform/append_file.h"
#include "platform/clock.h"
#include "platform/environment.h"

namespace kz::platform {

// A CR LF pair or a lone CR or LF becomes one blank; breaks that end the text are
// dropped, since report texts usually end with one.
std::string flattenedEventText(std::string_view text) {
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

std::string joinedEventStrings(const std::vector<std::string>& strings) {
    std::string joined;
    for (size_t i = 0; i < strings.size(); ++i) {
        if (i) joined += " | ";
        joined += flattenedEventText(strings[i]);
    }
    return joined;
}

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

bool reportEventToFile(std::string_view source, EventType type, uint32_t eventId,
                       const std::vector<std::string>& strings) {
    const std::optional<std::string> file = getEnvironment("KZ_EVENTLOG");
    if (!file || file->empty()) return false;
    std::string line = formatLocalTime("%Y-%m-%d %H:%M:%S", systemNow()) + '\t' +
                       std::string(eventTypeName(type)) + '\t' + flattenedEventText(source) + '\t' +
                       std::to_string(eventId) + '\t' + joinedEventStrings(strings) + '\n';
    AppendFile log;  // one write per line keeps concurrent reports whole
    if (log.open(*file)) log.append(line);
    return true;
}

}  // namespace kz::platform
