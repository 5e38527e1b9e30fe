#include "script/text_search.h"

#include <cctype>

#include "base/ascii.h"

namespace kz::script {

namespace {

bool MatchesAt(std::string_view hay, std::string_view needle, std::size_t at, bool textCompare) {
    for (std::size_t i = 0; i < needle.size(); ++i) {
        char a = hay[at + i], b = needle[i];
        if (textCompare ? toLowerAscii(a) != toLowerAscii(b) : a != b) return false;
    }
    return true;
}

}  // namespace

std::size_t FindText(std::string_view hay, std::string_view needle, std::size_t from,
                     bool textCompare) {
    if (!textCompare) return hay.find(needle, from);
    if (needle.size() > hay.size()) return std::string_view::npos;
    for (std::size_t at = from; at + needle.size() <= hay.size(); ++at)
        if (MatchesAt(hay, needle, at, true)) return at;
    return std::string_view::npos;
}

std::size_t FindTextReverse(std::string_view hay, std::string_view needle, std::size_t last,
                            bool textCompare) {
    if (needle.size() > hay.size()) return std::string_view::npos;
    std::size_t at = std::min(last, hay.size() - needle.size());
    for (;; --at) {
        if (MatchesAt(hay, needle, at, textCompare)) return at;
        if (at == 0) return std::string_view::npos;
    }
}

}  // namespace kz::script
