#include "base/ascii.h"

#include <algorithm>

namespace kz {

std::string toLowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = toLowerAscii(c);
    return out;
}

std::string toUpperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = toUpperAscii(c);
    return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (toLowerAscii(a[i]) != toLowerAscii(b[i])) return false;
    }
    return true;
}

bool startsWithIgnoreCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && equalsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

bool endsWithIgnoreCase(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() &&
           equalsIgnoreCase(s.substr(s.size() - suffix.size()), suffix);
}

std::size_t findIgnoreCase(std::string_view hay, std::string_view needle, std::size_t from) {
    if (needle.empty()) return from <= hay.size() ? from : std::string_view::npos;
    if (hay.size() < needle.size()) return std::string_view::npos;
    const char first = toLowerAscii(needle[0]);
    for (std::size_t i = from; i + needle.size() <= hay.size(); ++i) {
        if (toLowerAscii(hay[i]) == first &&
            equalsIgnoreCase(hay.substr(i, needle.size()), needle)) {
            return i;
        }
    }
    return std::string_view::npos;
}

bool LessIgnoreCase::operator()(std::string_view a, std::string_view b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return toLowerAscii(x) < toLowerAscii(y);
    });
}

}  // namespace kz
