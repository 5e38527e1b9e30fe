// Differential fuzzing of the pattern matcher: patterns with single asterisks are
// checked against an exhaustive search over every placement of their segments; the
// other patterns only have to run cleanly.
//
// Input: a flags byte, a byte giving the text length, the text, then the pattern.
// Flags: bit 0 case-sensitive; bits 1-2 pick the delimiter set; bit 3 keeps the bytes
// as they are instead of mapping them onto a few letters, delimiters and asterisks (so
// that matches are common).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "filters/match_pattern.h"
#include "fuzz_check.h"

namespace {

constexpr std::string_view kDelimiterSets[] = {" \r'\"\n", "' \r'\"\n<>;", "", "."};
constexpr std::string_view kAlphabet = "aAbB.x *E";
constexpr std::size_t kMaxText = 64;
constexpr std::size_t kMaxPattern = 24;

char fold(char c, bool caseSensitive) {
    return !caseSensitive && c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool equalAt(std::string_view text, std::size_t at, std::string_view segment, bool caseSensitive) {
    if (at + segment.size() > text.size()) return false;
    for (std::size_t i = 0; i < segment.size(); ++i) {
        if (fold(text[at + i], caseSensitive) != fold(segment[i], caseSensitive)) return false;
    }
    return true;
}

// The rule as written: segment 0 at the start (case by the setting), the middle ones in
// order anywhere after (ignoring case), the last anywhere after those (case by the
// setting) ending the text or followed by a delimiter; no two overlapping. Every
// placement is tried; `failed` only remembers starts already found to fail.
struct Reference {
    std::string_view text;
    std::string_view delimiters;
    bool caseSensitive;
    std::vector<std::string_view> segments;
    std::vector<std::vector<bool>> failed;

    bool endsWord(std::size_t end) const {
        return end == text.size() || delimiters.find(text[end]) != std::string_view::npos;
    }

    bool placeFrom(std::size_t index, std::size_t from) {
        if (failed[index][from]) return false;
        std::string_view segment = segments[index];
        bool last = index + 1 == segments.size();
        if (last && segment.empty()) return true;
        for (std::size_t at = from; at + segment.size() <= text.size(); ++at) {
            std::size_t end = at + segment.size();
            if (last) {
                if (equalAt(text, at, segment, caseSensitive) && endsWord(end)) return true;
            } else if (equalAt(text, at, segment, false) && placeFrom(index + 1, end)) {
                return true;
            }
        }
        failed[index][from] = true;
        return false;
    }

    bool matches() {
        failed.assign(segments.size(), std::vector<bool>(text.size() + 1, false));
        if (!equalAt(text, 0, segments[0], caseSensitive)) return false;
        return placeFrom(1, segments[0].size());
    }
};

std::vector<std::string_view> splitAtAsterisks(std::string_view pattern) {
    std::vector<std::string_view> segments;
    for (std::size_t star = pattern.find('*'); star != std::string_view::npos;
         star = pattern.find('*')) {
        segments.push_back(pattern.substr(0, star));
        pattern.remove_prefix(star + 1);
    }
    segments.push_back(pattern);
    return segments;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const uint8_t flags = data[0];
    std::string input(reinterpret_cast<const char*>(data + 2), size - 2);
    if (!(flags & 8)) {
        for (char& c : input) c = kAlphabet[uint8_t(c) % kAlphabet.size()];
    }
    std::size_t textLength = std::min<std::size_t>(data[1], input.size());
    std::string_view text = std::string_view(input).substr(0, textLength);
    std::string_view pattern = std::string_view(input).substr(textLength);
    const bool caseSensitive = flags & 1;
    const std::string_view delimiters = kDelimiterSets[(flags >> 1) & 3];

    const bool result = kz::filters::MatchPattern(text, pattern, delimiters, caseSensitive);
    bool singleAsterisks =
        pattern.find('*') != std::string_view::npos && pattern.find("**") == std::string_view::npos;
    if (!singleAsterisks || text.size() > kMaxText || pattern.size() > kMaxPattern) return 0;

    Reference reference{text, delimiters, caseSensitive, splitAtAsterisks(pattern), {}};
    KZ_FUZZ_CHECK(reference.matches() == result);
    return 0;
}
