#pragma once
// The --since and --until options of kzmta quarantine and kzmta stats: a local day
// "YYYY-MM-DD" or hour "YYYY-MM-DDTHH"; --until includes the whole day or hour it names.

#include <optional>
#include <string>

#include "command_line.h"
#include "report_line.h"
#include "stats.h"

namespace kz::tool {

inline std::optional<console::HourKey> HourOption(const std::string& text, const char* option,
                                                  bool last) {
    if (text.empty()) return std::nullopt;
    auto hour = console::ParseHourKey(text, last);
    if (!hour)
        throw UsageError(std::string(option) + " needs a date YYYY-MM-DD or YYYY-MM-DDTHH, not '" +
                         text + "'");
    return hour;
}

}  // namespace kz::tool
