#pragma once
// Date texts from local broken-down time, formed alike on every system.

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

namespace kz::platform {

// strftime or a variant of it that ignores the process locale.
using StrftimeFn = std::size_t (*)(char*, std::size_t, const char*, const std::tm*);

// The text of `format`, grown as needed; empty when it would exceed 1 MiB.
std::string formatTimeParts(std::string_view format, const std::tm& parts, StrftimeFn strftimeFn);
// "ddd, d MMM yyyy HH:mm:ss +hhmm" with English names; the offset is east of UTC and
// includes daylight saving.
std::string mailDateFromParts(const std::tm& parts, long offsetSeconds);

}  // namespace kz::platform
