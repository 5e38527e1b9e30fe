#include "base/line_breaks.h"


namespace kz {

std::string BlankLineBreaks(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = c == '\r' || c == '\n' ? ' ' : c;  // a select the compiler vectorises
    return out;
}

}  // namespace kz
