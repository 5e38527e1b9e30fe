#include "filters/match_pattern.h"

#include <cstddef>

#include "base/ascii.h"
#include "filters/match_pattern_search.h"

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

    // One past the earliest occurrence at or after `from`, found ignoring case; kNone
    // when there is none.
    std::size_t endOfFirstIgnoringCase(std::string_view segment, std::size_t from) const {
        std::size_t found = kNone;
        SegmentSearch(segment, true).forEach(text_, from, [&](std::size_t end) {
            found = end;
            return true;
        });
        return found;
    }

    // Whether an occurrence at or after `from`, compared by the case setting, ends a word.
    bool endsAWordFrom(std::string_view segment, std::size_t from) const {
        return SegmentSearch(segment, !caseSensitive_).forEach(text_, from, [&](std::size_t end) {
            return endsWord(end);
        });
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
bool matchWholeWord(const Subject& subject, std::string_view word) {
    for (std::size_t at = subject.search(word, 0); at != kNone;
         at = subject.search(word, at + word.size())) {
        if (subject.startsWord(at) && subject.endsWord(at + word.size())) return true;
    }
    return false;
}

// Segments between single asterisks, placed in order without overlapping: the first at
// the start, the middle ones anywhere after it, the last anywhere after those where it
// ends a word. Each middle segment takes its earliest occurrence: that leaves the most
// room for the rest, so no other placement could succeed where this one fails. The
// last segment may then stand at any of its occurrences, not just the first.
bool matchSegments(const Subject& subject, std::string_view pattern) {
    std::size_t star = pattern.find('*');
    std::string_view first = pattern.substr(0, star);
    if (!subject.equalAt(0, first)) return false;
    std::size_t position = first.size();

    std::string_view rest = pattern.substr(star + 1);
    for (std::size_t next = rest.find('*'); next != kNone; next = rest.find('*')) {
        std::string_view middle = rest.substr(0, next);  // never empty: "**" is literal
        rest.remove_prefix(next + 1);
        position = subject.endOfFirstIgnoringCase(middle, position);
        if (position == kNone) return false;
    }

    std::string_view last = rest;
    return last.empty() || subject.endsAWordFrom(last, position);
}

}  // namespace

bool MatchPattern(std::string_view text, std::string_view pattern, std::string_view delimiters,
                  bool caseSensitive) {
    if (pattern.empty()) return false;
    if (pattern.find("**") != kNone) return findIgnoreCase(text, pattern) != kNone;
    Subject subject(text, delimiters, caseSensitive);
    if (pattern.find('*') == kNone) return matchWholeWord(subject, pattern);
    return matchSegments(subject, pattern);
}

std::vector<std::size_t> MatchEachPattern(std::string_view text,
                                          const std::vector<std::string>& patterns,
                                          std::string_view delimiters, bool caseSensitive) {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        if (MatchPattern(text, patterns[i], delimiters, caseSensitive)) found.push_back(i);
    }
    return found;
}

}  // namespace kz::filters
