#pragma once
// Case-insensitive comparisons that fold ASCII letters only, independent of locale.

#include <cstddef>
#include <string>
#include <string_view>

namespace kz {

constexpr char toLowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}
constexpr char toUpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

std::string toLowerAscii(std::string_view s);
std::string toUpperAscii(std::string_view s);
bool equalsIgnoreCase(std::string_view a, std::string_view b);
bool startsWithIgnoreCase(std::string_view s, std::string_view prefix);
bool endsWithIgnoreCase(std::string_view s, std::string_view suffix);
// Position of the first occurrence of needle at or after `from`, or npos.
std::size_t findIgnoreCase(std::string_view hay, std::string_view needle, std::size_t from = 0);

// Orders strings without regard to ASCII case (for maps keyed by names).
struct LessIgnoreCase {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

}  // namespace kz
