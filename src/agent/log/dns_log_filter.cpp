#include "log/dns_log_filter.h"

#include "config/settings.h"
#include "log/debug_log.h"

namespace kz::log {

int KZ_STDCALL DnsLogFilter(uint32_t, uint32_t, uint32_t, uint32_t level, const char* text) {
    if (level > config::Settings().debugLoggingLevel) return 0;
    // The library is outside our control: a missing text is passed on as nothing.
    if (text) DebugLog(text);
    return 1;
}

}  // namespace kz::log
