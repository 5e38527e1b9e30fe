#pragma once
// Occurrences of one pattern segment in a text, found in one pass over the text
// (Knuth-Morris-Pratt): a long message full of near misses costs no more than a short
// one, whatever the segment.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kz::filters {

class SegmentSearch {
  public:
    // ignoreCase folds ASCII letters on both sides.
    SegmentSearch(std::string_view segment, bool ignoreCase);

    // Calls accept(end) for each occurrence that starts at or after `from`, with `end`
    // one past its last character, in the order of the ends, until accept returns true.
    // Returns whether one was accepted. Overlapping occurrences are all offered.
    template <class Accept>
    bool forEach(std::string_view text, std::size_t from, Accept accept) const {
        std::size_t matched = 0;
        for (std::size_t at = from; at < text.size(); ++at) {
            char c = fold(text[at]);
            while (matched > 0 && segment_[matched] != c) matched = fallback_[matched - 1];
            if (segment_[matched] == c) ++matched;
            if (matched == segment_.size()) {
                if (accept(at + 1)) return true;
                matched = fallback_[matched - 1];
            }
        }
        return false;
    }

  private:
    char fold(char c) const;

    std::string segment_;  // folded when ignoring case; never empty
    std::vector<std::size_t> fallback_;
    bool ignoreCase_;
};

}  // namespace kz::filters
