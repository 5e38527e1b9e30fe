#pragma once
// printf-style formatting into std::string: the agent's many fixed formats stay
// readable, with no buffer to overrun.

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

#include "base/text_limit.h"

namespace kz {

std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same for the argument list of another variadic function.
std::string formatTextV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));
// The formatted text cut to the limit, as a bounded format into its buffer would leave it.
std::string formatBounded(TextLimit limit, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// What "%s" writes of a text: the part before its first NUL. For texts put together
// without a format pass.
inline std::string_view asFormatted(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

}  // namespace kz
