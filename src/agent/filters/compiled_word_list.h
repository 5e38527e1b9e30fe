#pragma once
// A word list prepared for matching all its entries against a text at once: one pass of
// an automaton over the text finds the entries that can match, and only those are looked
// at further. Every entry gets exactly the result MatchPattern gives it. Immutable once
// built, so threads share it freely.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "filters/word_automaton.h"

namespace kz::filters {

class CompiledWordList {
  public:
    CompiledWordList() = default;
    // A list this short is matched entry by entry: the matcher's own searches beat one
    // pass of the automaton over the text.
    static constexpr std::size_t kAutomatonFrom = 4;

    // denseCells bounds the automaton's table (see WordAutomaton); lists of fewer than
    // automatonFrom entries do without it.
    explicit CompiledWordList(std::vector<std::string> entries,
                              std::size_t denseCells = WordAutomaton::kDenseCells,
                              std::size_t automatonFrom = kAutomatonFrom);

    const std::vector<std::string>& entries() const { return entries_; }

    // The positions of the entries that MatchPattern accepts against the text, ascending.
    std::vector<std::size_t> matches(std::string_view text, std::string_view delimiters,
                                     bool caseSensitive) const;

  private:
    enum class Form : std::uint8_t {
        Never,     // empty
        Word,      // no asterisk: a whole word
        Segments,  // single asterisks: found by its longest segment, then checked
        Literal,   // "**": anywhere, ignoring case
    };
    static constexpr std::uint32_t kNoKey = UINT32_MAX;

    struct Entry {
        Form form = Form::Never;
        std::uint32_t key = kNoKey;
        // A whole word that can overlap itself: the characters that stand just before a
        // later copy inside an earlier one. When a delimiter is among them, an occurrence
        // can hide a whole-word one behind it, which only the matcher itself decides.
        std::string overlapBytes;
    };

    bool matchesFound(std::size_t index, std::string_view text, std::string_view delimiters,
                      bool caseSensitive, bool keyWordHit, bool exactWordHit) const;

    std::vector<std::string> entries_;
    bool direct_ = true;  // matched entry by entry
    std::vector<Entry> forms_;
    std::vector<std::uint32_t> keyLength_;
    std::vector<bool> keyHasWords_;
    std::vector<std::uint32_t> keyEntryStart_;  // the entries of key k, ascending:
    std::vector<std::uint32_t> keyEntries_;     // keyEntries_[keyEntryStart_[k] ...]
    std::vector<std::uint32_t> unkeyed_;        // entries to check against every text
    WordAutomaton automaton_;
};

}  // namespace kz::filters
