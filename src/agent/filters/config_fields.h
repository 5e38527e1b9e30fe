#pragma once
// Reading the tab-separated fields of a configuration line into bounded values.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/text_limit.h"

namespace kz::filters {

// Field `field` (from 1) of a tab-separated line as it reads into a buffer of the
// limit: none when the line does not have the field, empty when the field
// does not fit.
std::optional<std::string> TabField(std::string_view line, int field, TextLimit limit);

// The number fields of the filter and criteria tables (enabled, threshold).
constexpr TextLimit kNumberFieldLimit{56};

// The integer at the start of a text as atoi reads it (leading white space, a sign,
// digits; 0 when there is no number), held within the signed 32-bit range.
int32_t AtoiText(std::string_view text);

}  // namespace kz::filters
