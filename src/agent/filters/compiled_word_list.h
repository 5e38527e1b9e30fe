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
    struct Hits {
        std::vector<std::uint8_t> keyState;  // empty until a key occurs
        std::vector<bool> exactWordHit;      // per entry; empty until one is found
        std::vector<std::uint32_t> seen;     // the keys that occur, in order of discovery
    };
    // The distinct keys (ASCII folded) a pass must find; key k is reported as k.
    const std::vector<std::string>& keys() const { return keys_; }
    // Takes one occurrence of key `key` ending at `end` into the hits.
    void note(Hits& hits, std::uint32_t key, std::size_t end, std::string_view text,
              WordBounds& isWord, bool caseSensitive) const;
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
