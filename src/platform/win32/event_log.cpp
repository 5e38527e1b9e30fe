#include "platform/event_log.h"

#include <windows.h>

#include "platform/event_log_file.h"

namespace kz::platform {

void reportEvent(std::string_view source, EventType type, uint32_t eventId,
                 const std::vector<std::string>& strings) noexcept {
    try {
        if (reportEventToFile(source, type, eventId, strings)) return;
        HANDLE log = RegisterEventSourceA(nullptr, std::string(source).c_str());
        if (!log) return;
        std::vector<const char*> texts;
        for (const std::string& s : strings) texts.push_back(s.c_str());
        ReportEventA(log, WORD(type), 0, DWORD(eventId), nullptr, WORD(texts.size()), 0,
                     texts.empty() ? nullptr : texts.data(), nullptr);
        DeregisterEventSource(log);
    } catch (...) {
        // Reporting must never take the caller down; the event is lost.
    }
}

}  // namespace kz::platform
