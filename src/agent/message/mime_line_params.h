#pragma once
// Parameter values read straight from raw header lines, for the line-by-line scan.

#include <cstddef>
#include <string>
#include <string_view>

#include "base/text_limit.h"

namespace kz {

// The text after `key` (found anywhere in the line, any case) and the white space after
// it: after a double quote up to the next double quote, otherwise up to the first ";"
// (blanks kept); always up to a NUL or line end, and cut to outputLimit.
// False when the key is absent or ends the line; an empty value is a success.
bool ExtractLineParameter(std::string_view line, std::string_view key, std::string& output,
                          TextLimit outputLimit);

// The value of `name` followed by "=" (found anywhere in the line, any case): a quoted
// value up to its closing double quote, an unquoted one up to the first ";", white space
// or NUL. False, with an empty output, when the parameter is absent; also, with the trace
// line "No closing quotation for attachment", when the closing quote is missing or the
// value does not fit outputLimit.
bool ExtractAttachmentParameter(std::string_view line, std::string_view name, std::string& output,
                                TextLimit outputLimit);

}  // namespace kz
