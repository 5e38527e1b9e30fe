#include "log/debug_log.h"

#include <cstdarg>
#include <string>

#include "base/format.h"
#include "config/settings.h"
#include "log/console_batch.h"
#include "log/log_clock.h"
#include "log/report_log.h"
#include "platform/console.h"

namespace kz::log {

namespace {

enum Route : uint32_t { kFile = 1, kStandardOutput = 2, kDebugger = 3 };

}  // namespace

void DebugLog(std::string_view text) {
    switch (config::ActivityLogEnabled()) {
        case kFile:
            // The stamp is taken before waiting for the lock: it dates the event,
            // not the write.
            WriteReportLine(LogTimeStamp(), text);
            return;
        case kStandardOutput:
            // An empty time stamp, a blank, the text.
            WriteConsole(std::string(" ").append(text));
            return;
        case kDebugger:
            platform::writeDebugger(text);
            return;
        default:
            return;
    }
}

void DebugLogLines(const std::vector<std::string>& texts) {
    if (config::ActivityLogEnabled() != kFile) {
        for (const std::string& text : texts) DebugLog(text);
        return;
    }
    WriteReportLines(LogTimeStamp(), texts);
}

void DebugLogf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = formatTextV(format, args);
    va_end(args);
    DebugLog(text);
}

}  // namespace kz::log
