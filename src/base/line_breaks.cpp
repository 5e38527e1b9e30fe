#include "base/line_breaks.h"

namespace kz {

void BlankLineBreaksInPlace(std::string& text) {
    for (char& c : text) c = c == '\r' || c == '\n' ? ' ' : c;  // a select the compiler vectorises
}

std::string BlankLineBreaks(std::string_view text) {
    std::string out(text);
    BlankLineBreaksInPlace(out);
    return out;
}

}  // namespace kz
