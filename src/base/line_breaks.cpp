#include "base/line_breaks.h"

#include <algorithm>

namespace kz {

std::string BlankLineBreaks(std::string_view text) {
    std::string out(text);
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return out;
}

}  // namespace kz
