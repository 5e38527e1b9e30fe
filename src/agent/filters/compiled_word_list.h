#pragma once
// A word list prepared for matching all its entries against a text at once: one pass of
// an automaton over the text (SharedWordSearch, shared with other lists) finds the keys
// that occur, and the list decides its entries from them. Every entry gets exactly the
// result MatchPattern gives it. Immutable once built, so threads share it freely.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kz::filters {

// Whether a stretch of a text is a whole word: its delimiter table is set up only when
// first asked, as most texts never ask.
class WordBounds {
  public:
    WordBounds(std::string_view text, std::string_view delimiters)
        : text_(text), delimiters_(delimiters) {}
    bool operator()(std::size_t start, std::size_t end);

  private:
    std::string_view text_;
    std::string_view delimiters_;
    bool set_ = false;
    std::array<bool, 256> isDelimiter_;
};

class CompiledWordList {
  public:
    CompiledWordList() = default;
    explicit CompiledWordList(std::vector<std::string> entries);

    const std::vector<std::string>& entries() const { return entries_; }

    // What a pass found of the list's keys in one text.
    struct SeenKey {
        std::uint32_t key;
        bool wordHit;  // as a whole word somewhere, ignoring case
    };
    struct Hits {
        std::vector<SeenKey> seen;                 // each key that occurs, once
        std::vector<std::uint32_t> exactWordHits;  // entries found as whole words, exact case
    };
    // The distinct keys (ASCII folded) a pass must find; key k is reported as k.
    const std::vector<std::string>& keys() const { return keys_; }
    // Whether key k stands for a whole word (only those care where they occur).
    bool keyHasWords(std::uint32_t key) const { return keyHasWords_[key]; }
    // Takes a whole-word occurrence `found` of key `key` into the hits, for matching with
    // regard to case.
    void noteExact(Hits& hits, std::uint32_t key, std::string_view found) const;
    // The entries that match, from the hits of a pass over the whole text (null: no key
    // occurs).
    std::vector<std::size_t> decide(const Hits* hits, std::string_view text,
                                    std::string_view delimiters, bool caseSensitive) const;

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
    std::vector<Entry> forms_;
    std::vector<std::string> keys_;
    std::vector<bool> keyHasWords_;
    std::vector<std::uint32_t> keyEntryStart_;  // the entries of key k, ascending:
    std::vector<std::uint32_t> keyEntries_;     // keyEntries_[keyEntryStart_[k] ...]
    std::vector<std::uint32_t> unkeyed_;        // entries to check against every text
};

}  // namespace kz::filters
