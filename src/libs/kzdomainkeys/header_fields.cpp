#include "header_fields.h"

#include "tag_list.h"

namespace kz::dkim {

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// The text with comments and the contents of quoted strings taken out; false when a
// comment or quoted string is not closed.
bool withoutCommentsAndQuotes(std::string_view text, std::string& out) {
    int depth = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && (quoted || depth > 0)) {
            ++i;
        } else if (quoted) {
            if (c == '"') quoted = false;
        } else if (c == '(') {
            ++depth;
        } else if (depth > 0) {
            if (c == ')') --depth;
        } else if (c == '"') {
            quoted = true;
            out += 'q';  // a quoted local part still counts as one
        } else {
            out += c;
        }
    }
    return depth == 0 && !quoted;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

std::vector<HeaderField> UsableFields(const std::vector<std::string>& fields) {
    std::vector<HeaderField> usable;
    usable.reserve(fields.size());
    for (const std::string& field : fields) {
        const std::size_t colon = field.find(':');
        if (colon == std::string::npos) continue;
        bool printable = true;
        for (std::size_t i = 0; i < colon && printable; ++i)
            printable = field[i] >= 0x20 && field[i] <= 0x7e && field[i] != ';';
        if (!printable) continue;
        std::size_t nameLength = colon;
        while (nameLength > 0 && IsSpace(field[nameLength - 1])) --nameLength;
        usable.push_back({field, nameLength});
    }
    return usable;
}

bool HasAuthorAddress(const std::vector<HeaderField>& fields) {
    for (const HeaderField& field : fields) {
        if (!SameName(field.name(), "from")) continue;
        std::string plain;
        if (!withoutCommentsAndQuotes(field.value(), plain)) return false;
        std::string_view address = plain;
        const std::size_t open = address.find('<');
        if (open != std::string_view::npos) {
            address.remove_prefix(open + 1);
            address = address.substr(0, address.find('>'));
            // A source route ends at its last colon.
            const std::size_t route = address.rfind(':');
            if (route != std::string_view::npos) address.remove_prefix(route + 1);
        } else {
            address = address.substr(0, address.find_first_of(",;"));
        }
        const std::size_t at = address.find('@');
        return at != std::string_view::npos && !trimmed(address.substr(0, at)).empty() &&
               !trimmed(address.substr(at + 1)).empty();
    }
    return false;
}

}  // namespace kz::dkim
