#pragma once
// Small text scanning helpers shared by the MIME reader and its decoders.

#include <cstddef>
#include <string_view>

namespace kz {

constexpr bool isBlankOrTab(char c) {
    return c == ' ' || c == '\t';
}
constexpr bool isLineBreak(char c) {
    return c == '\r' || c == '\n';
}
constexpr bool isWhiteSpace(char c) {
    return isBlankOrTab(c) || isLineBreak(c);
}

// Value 0-15 of a hexadecimal digit in either case, or -1.
constexpr int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Position of the first character at or after `from` that is not in `set`.
inline std::size_t skipAny(std::string_view text, std::size_t from, std::string_view set) {
    std::size_t pos = text.find_first_not_of(set, from);
    return pos == std::string_view::npos ? text.size() : pos;
}

inline std::string_view trimBlanks(std::string_view text) {
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace kz
