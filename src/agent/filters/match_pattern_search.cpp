#include "filters/match_pattern_search.h"

#include "base/ascii.h"

namespace kz::filters {

SegmentSearch::SegmentSearch(std::string_view segment, bool ignoreCase)
    : segment_(segment), fallback_(segment.size(), 0), ignoreCase_(ignoreCase) {
    for (char& c : segment_) c = fold(c);
    // fallback_[i]: the length of the longest proper prefix of segment_[0..i] that is
    // also its suffix.
    std::size_t length = 0;
    for (std::size_t i = 1; i < segment_.size(); ++i) {
        while (length > 0 && segment_[i] != segment_[length]) length = fallback_[length - 1];
        if (segment_[i] == segment_[length]) ++length;
        fallback_[i] = length;
    }
}

char SegmentSearch::fold(char c) const {
    return ignoreCase_ ? toLowerAscii(c) : c;
}

}  // namespace kz::filters
