#include "printable_text.h"

#include <cstdio>

namespace kz::tool {

std::string PrintableText(std::string_view text, bool keepLineBreaks) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\r') continue;
        if (c == '\n' || c == '\t') {
            if (keepLineBreaks)
                out += c;
            else
                out += c == '\n' ? "\\n" : " ";
        } else if (byte < 0x20 || byte == 0x7f) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

std::string TitledBody(std::string_view title, const std::string& body) {
    std::string out = std::string(title) + " (" + std::to_string(body.size()) + " bytes)";
    if (body.empty()) return out + ": none\n";
    out += ":\n" + PrintableText(body, true);
    if (body.back() != '\n') out += '\n';
    return out;
}

}  // namespace kz::tool
