// Temporary writer until the daily report log exists: standard error when
// KZ_DEBUGLOG_STDERR is set, else nothing.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "log/debug_log.h"
#include "platform/console.h"

namespace kz::log {

void DebugLog(std::string_view text) {
    if (std::getenv("KZ_DEBUGLOG_STDERR")) platform::writeDebugger(text);
}

void DebugLogf(const char* format, ...) {
    char buffer[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    DebugLog(buffer);
}

}  // namespace kz::log
