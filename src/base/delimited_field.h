#pragma once
// The field reader of every tab- or comma-separated configuration line.

#include <cstddef>
#include <string>
#include <string_view>

#include "base/text_limit.h"

namespace kz {

// Reads field `fieldNumber` (from 1) of `line`. Delimiters are found without regard to
// case; with a non-zero escape character, an occurrence directly preceded by it is not
// a delimiter. A field the line does not have gives false and leaves `output`
// unchanged. A field that does not fit outputLimit gives an empty output and false.
// Otherwise the field is copied and the result is true.
bool GetDelimitedField(std::string_view line, std::string_view delimiter, int fieldNumber,
                       std::string& output, TextLimit outputLimit, char escape = '\0');

// 0 for an empty line, otherwise one more than the delimiter occurrences found from the
// second character on, at most 1,000,000.
int CountDelimitedFields(std::string_view line, std::string_view delimiter);

}  // namespace kz
