#pragma once
// Charset names as messages spell them, mapped to the platform's code page numbers.

#include <array>
#include <cstddef>
#include <string_view>

namespace kz {

struct CharsetRow {
    std::string_view name;
    unsigned codePage;
};

inline constexpr std::size_t kCharsetTableRows = 327;

// Searched in row order; some names appear more than once and only the first counts.
extern const std::array<CharsetRow, kCharsetTableRows> CharsetTable;

// The code page of the first row whose name equals `charset` without regard to ASCII
// case, or 0 when no row does.
unsigned CodePageForCharset(std::string_view charset);

}  // namespace kz
