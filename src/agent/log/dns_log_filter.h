#pragma once
// The log callback handed to the DNS library: it passes the library's lines to the
// DebugLog up to the "Debug Logging Level" (read at attach) and drops the others.

#include <cstdint>

#include "platform/exports.h"

namespace kz::log {

// Five 32-bit arguments as the library calls it: three it does not explain, the
// line's level and the text. 0 when the level is above the setting (nothing written),
// else 1.
int KZ_STDCALL DnsLogFilter(uint32_t, uint32_t, uint32_t, uint32_t level, const char* text);
using DnsLogFunction = int(KZ_STDCALL*)(uint32_t, uint32_t, uint32_t, uint32_t, const char*);

}  // namespace kz::log
