#include "platform/event_log.h"

#include <windows.h>

#include "platform/event_log_file.h"
#include "platform/win32/windows_text.h"

namespace kz::platform {

void reportEvent(std::string_view source, EventType type, uint32_t eventId,
                 const std::vector<std::string>& strings) noexcept {
    try {
        if (reportEventToFile(source, type, eventId, strings)) return;
        HANDLE log = RegisterEventSourceW(nullptr, win32::widen(source).c_str());
        if (!log) return;
        std::vector<std::wstring> wide;
        for (const std::string& s : strings) wide.push_back(win32::widen(s));
        std::vector<const wchar_t*> texts;
        for (const std::wstring& s : wide) texts.push_back(s.c_str());
        ReportEventW(log, WORD(type), 0, DWORD(eventId), nullptr, WORD(texts.size()), 0,
                     texts.empty() ? nullptr : texts.data(), nullptr);
        DeregisterEventSource(log);
    } catch (...) {
        // Reporting must never take the caller down; the event is lost.
    }
}

}  // namespace kz::platform
