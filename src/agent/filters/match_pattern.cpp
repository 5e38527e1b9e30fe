#include "filters/match_pattern.h"

#include <cstddef>

#include "common/ascii.h"
#include "config/settings.h"

namespace kz::filters {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// The text under test with its delimiters and case setting.
class Subject {
  public:
    Subject(std::string_view text, std::string_view delimiters, bool caseSensitive)
        : text_(text), delimiters_(delimiters), caseSensitive_(caseSensitive) {}

    // Whether the segment stands at `at` with its full length (strncmp / _strnicmp).
    bool equalAt(std::size_t at, std::string_view segment) const {
        if (at > text_.size() || text_.size() - at < segment.size()) return false;
        std::string_view part = text_.substr(at, segment.size());
        return caseSensitive_ ? part == segment : equalsIgnoreCase(part, segment);
    }

    // The first occurrence at or after `from`, compared by the case setting.
    std::size_t search(std::string_view segment, std::size_t from) const {
        return caseSensitive_ ? text_.find(segment, from) : findIgnoreCase(text_, segment, from);
    }

    std::size_t searchIgnoringCase(std::string_view segment, std::size_t from) const {
        return findIgnoreCase(text_, segment, from);
    }

    // Where a segment that the search missed is tried instead: the first occurrence in
    // the whole text of its first character with the letter case swapped. A character
    // that is no letter has no such position.
    std::size_t swappedCaseFallback(std::string_view segment) const {
        char first = segment.front();
        char swapped = toLowerAscii(first) != first   ? toLowerAscii(first)
                       : toUpperAscii(first) != first ? toUpperAscii(first)
                                                      : '\0';
        if (swapped == '\0') return kNone;
        return text_.find(swapped);
    }

    bool startsWord(std::size_t at) const { return at == 0 || isDelimiter(at - 1); }
    bool endsWord(std::size_t end) const { return end == text_.size() || isDelimiter(end); }

  private:
    bool isDelimiter(std::size_t at) const { return delimiters_.find(text_[at]) != kNone; }

    std::string_view text_;
    std::string_view delimiters_;
    bool caseSensitive_;
};

// An occurrence counts when it starts and ends a word; after one that does not, the
// search goes on behind it (overlapping occurrences are never tried).
int matchWholeWord(const Subject& subject, std::string_view word) {
    for (std::size_t at = subject.search(word, 0); at != kNone;
         at = subject.search(word, at + word.size())) {
        if (subject.startsWord(at) && subject.endsWord(at + word.size())) return 1;
    }
    return 0;
}

// Segments between single asterisks, matched from a position that only moves forward
// except where the swapped-case fall-back puts it.
int matchSegments(const Subject& subject, std::string_view pattern) {
    std::size_t star = pattern.find('*');
    std::string_view first = pattern.substr(0, star);
    if (!subject.equalAt(0, first)) return 0;
    std::size_t position = first.size();

    std::string_view rest = pattern.substr(star + 1);
    for (std::size_t next = rest.find('*'); next != kNone; next = rest.find('*')) {
        std::string_view middle = rest.substr(0, next);
        rest.remove_prefix(next + 1);
        std::size_t found = subject.searchIgnoringCase(middle, position);
        if (found != kNone) {
            position = found + 1;  // one past the occurrence's start, not past its end
            continue;
        }
        position = subject.swappedCaseFallback(middle);
        if (position == kNone || !subject.equalAt(position, middle)) return 0;
        position += middle.size();
    }

    std::string_view last = rest;
    if (last.empty()) return 1;
    std::size_t at = subject.search(last, position);
    if (at == kNone) at = subject.swappedCaseFallback(last);
    if (at == kNone || !subject.equalAt(at, last)) return 0;
    return subject.endsWord(at + last.size()) ? 1 : 0;
}

}  // namespace

int MatchPattern(std::string_view text, std::string_view pattern, std::string_view delimiters,
                 bool caseSensitive) {
    if (pattern.empty()) return 0;
    if (pattern.find("**") != kNone) return findIgnoreCase(text, pattern) != kNone ? 1 : 0;
    Subject subject(text, delimiters, caseSensitive);
    if (pattern.find('*') == kNone) return matchWholeWord(subject, pattern);
    return matchSegments(subject, pattern);
}

bool CaseSensitiveMatching() {
    return config::CaseSensitivity() == 1;
}

}  // namespace kz::filters
