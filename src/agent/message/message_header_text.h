#pragma once
// The text of a message with one header line added, as SetMessageHeader writes it.

#include <cstddef>
#include <string>
#include <string_view>

#include "base/text_limit.h"
#include "message/message_header.h"

namespace kz {

// A header line has at most 4,095 characters with its line end.
inline constexpr TextLimit kHeaderLineLimit{4096};

// "name: value" and CR LF; line breaks in name or value become blanks, and a text too
// long for a header line is cut before the line end.
std::string FormatHeaderLine(std::string_view name, std::string_view value);

// The message with the header line (from FormatHeaderLine) of `name` set by `mode`.
// ReplaceOrAdd: header-block lines that begin with "name: " (any case) are replaced;
// their continuation lines stay. Without such a line the header line goes in front of
// the blank line that ends the headers, or at the end with a blank line when there is
// none. The body is kept byte for byte.
std::string SetHeaderInText(std::string_view message, std::string_view name,
                            std::string_view headerLine, HeaderMode mode);
// The same change made to `message` itself: only the header block is rebuilt, and a large
// body is moved in place rather than copied into a new text.
void SetHeaderInPlace(std::string& message, std::string_view name, std::string_view headerLine,
                      HeaderMode mode);

}  // namespace kz
