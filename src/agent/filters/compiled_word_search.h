#pragma once
// Several word lists searched in one pass over a text: one automaton holds the keys of
// all of them, and each hit goes to the lists that hold its key, which then decide their
// entries exactly as each would alone. Immutable once built; threads share it freely.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "filters/compiled_word_list.h"
#include "filters/word_automaton.h"

namespace kz::filters {

using WordListRef = std::shared_ptr<const CompiledWordList>;

class SharedWordSearch {
  public:
    // denseCells bounds the one automaton's table, whatever the number of lists.
    explicit SharedWordSearch(std::vector<WordListRef> lists,
                              std::size_t denseCells = WordAutomaton::kDenseCells);

    // What one pass found, per list.
    struct Found {
        std::vector<CompiledWordList::Hits> hits;  // empty until a key occurs
    };
    Found search(std::string_view text, std::string_view delimiters, bool caseSensitive) const;

    // The entries of list `list` that match the text the pass went over, ascending.
    std::vector<std::size_t> matches(const Found& found, std::size_t list, std::string_view text,
                                     std::string_view delimiters, bool caseSensitive) const;

    const std::vector<WordListRef>& lists() const { return lists_; }

  private:
    struct Owner {
        std::uint32_t list;
        std::uint32_t key;  // the list's own number of the key
    };

    std::vector<WordListRef> lists_;
    std::vector<std::uint32_t> ownerStart_;  // the owners of key k: owners_[ownerStart_[k] ...]
    std::vector<Owner> owners_;
    std::vector<std::uint32_t> keyLength_;
    std::vector<bool> keyHasWords_;  // for some owner, key k stands for a whole word
    WordAutomaton automaton_;
};

// The lists of one text kind: those fixed when the table loaded (inline lists, cached
// word files), then the word files read afresh, whose versions may change between runs.
class KindWordSearch {
  public:
    explicit KindWordSearch(std::vector<WordListRef> fixed);

    std::size_t fixedCount() const { return fixedCount_; }
    // The search over the fixed lists followed by `files` (as the runs see them now):
    // built again only when the files are not those of the last call.
    std::shared_ptr<const SharedWordSearch> with(const std::vector<WordListRef>& files) const;

  private:
    std::size_t fixedCount_;
    std::shared_ptr<const SharedWordSearch> fixed_;
    mutable std::mutex mutex_;
    mutable std::shared_ptr<const SharedWordSearch> withFiles_;
};

}  // namespace kz::filters
