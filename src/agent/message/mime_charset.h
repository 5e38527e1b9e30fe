#pragma once
// Conversion of message text to UTF-8, the one text form that criteria match against.

#include <optional>
#include <string>
#include <string_view>

namespace kz {

// Bytes that declare no charset: kept when they already are valid UTF-8, otherwise read
// in the platform's default single-byte code page.
std::string LegacyBytesToUtf8(std::string_view bytes);

// Bytes in the named charset as UTF-8. None when the charset is not in the charset table,
// the converter does not know its code page, or the bytes are not valid in it.
std::optional<std::string> CharsetToUtf8(std::string_view bytes, std::string_view charset);

}  // namespace kz
