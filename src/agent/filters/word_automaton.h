#pragma once
// Every occurrence of many keys in one pass over a text (Aho-Corasick), ASCII case
// folded. Built once; read-only afterwards, so any number of threads may search with it.
//
// Bytes are mapped onto classes first (the bytes no key holds share class 0), which keeps
// the transition table small. The states nearest the root, where a search spends most of
// its time, get a full row of transitions; deeper states keep only their own edges and
// fall back along their failure links, so a huge list costs no more than a bounded table.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/ascii.h"

namespace kz::filters {

class WordAutomaton {
  public:
    // At most this many transitions in full rows (4 MiB): enough for every state of a
    // list of ten thousand words; beyond that only the shallow states get a row.
    static constexpr std::size_t kDenseCells = std::size_t(1) << 20;

    // Keys must be distinct after folding; key i is reported as i (an empty key never).
    explicit WordAutomaton(const std::vector<std::string_view>& keys,
                           std::size_t denseCells = kDenseCells);
    WordAutomaton() : WordAutomaton(std::vector<std::string_view>()) {}

    // Calls found(key, end) for every occurrence of every key in the text, overlapping
    // ones included, in no particular order (`end` is one past the last character).
    template <class Found>
    void forEachHit(std::string_view text, Found&& found) const;

  private:
    static constexpr std::uint32_t kNoKey = UINT32_MAX;
    // Set on a transition's target when a key ends there: most bytes reach no key, and
    // then the search need not look at key_ and output_.
    static constexpr std::uint32_t kReports = std::uint32_t(1) << 31;
    static constexpr std::uint32_t kStateMask = kReports - 1;

    // A long text is searched as this many pieces at once: each step of a search waits
    // for a table read, and the steps of different pieces do not wait for each other.
    static constexpr std::size_t kStreams = 4;
    // Shorter pieces gain less than their start costs.
    static constexpr std::size_t kShortestPiece = 64;

    // The keys of the state a step reached (flagged kReports), ending at `end`.
    template <class Found>
    void report(std::uint32_t state, std::size_t end, Found& found) const {
        const std::uint32_t reached = state & kStateMask;
        for (std::uint32_t out = key_[reached] != kNoKey ? reached : output_[reached]; out != 0;
             out = output_[out]) {
            found(key_[out], end);
        }
    }

    std::uint32_t next(std::uint32_t state, std::uint16_t byteClass) const {
        while (state >= denseStates_) {
            for (std::uint32_t e = edgeStart_[state]; e < edgeStart_[state + 1]; ++e) {
                if (edgeClass_[e] == byteClass) return edgeTarget_[e];
            }
            state = failure_[state];
        }
        return dense_[std::size_t(state) * classCount_ + byteClass];
    }

    std::array<std::uint16_t, 256> classOf_{};
    std::size_t classCount_ = 1;
    std::size_t longestKey_ = 0;
    std::uint32_t denseStates_ = 0;         // states [0, denseStates_) have a full row
    std::vector<std::uint32_t> dense_;      // denseStates_ rows of classCount_ targets (flagged)
    std::vector<std::uint32_t> edgeStart_;  // per state, its edges in edgeClass_/edgeTarget_
    std::vector<std::uint16_t> edgeClass_;
    std::vector<std::uint32_t> edgeTarget_;  // flagged
    std::vector<std::uint32_t> failure_;
    std::vector<std::uint32_t> key_;     // the key ending at a state, or kNoKey
    std::vector<std::uint32_t> output_;  // the nearest shorter suffix state with a key, or 0
};

template <class Found>
void WordAutomaton::forEachHit(std::string_view text, Found&& found) const {
    if (longestKey_ == 0) return;
    const char* const chars = text.data();
    const std::size_t size = text.size();
    // A key that ends in a piece starts at most `overlap` characters before it: a piece's
    // search starts that far back, and reports only the keys that end within the piece.
    const std::size_t overlap = longestKey_ - 1;
    std::size_t step = 0;
    std::size_t length = 0;
    std::array<std::uint32_t, kStreams> state{};
    if (size >= overlap + kStreams * kShortestPiece) {
        // Search i starts at i * step and takes `length` steps together with the others.
        step = (size - overlap) / kStreams;
        length = step + overlap;
        for (std::size_t j = 0; j < length; ++j) {
            std::uint32_t any = 0;
            for (std::size_t i = 0; i < kStreams; ++i) {
                state[i] = next(state[i] & kStateMask, classOf_[std::uint8_t(chars[i * step + j])]);
                any |= state[i];
            }
            if (!(any & kReports)) continue;
            if (state[0] & kReports) report(state[0], j + 1, found);
            if (j < overlap) continue;  // the other searches are still finding their way in
            for (std::size_t i = 1; i < kStreams; ++i) {
                if (state[i] & kReports) report(state[i], i * step + j + 1, found);
            }
        }
    }
    // The last search goes on to the end (a short text is searched by it alone).
    std::uint32_t last = state[kStreams - 1];
    for (std::size_t at = (kStreams - 1) * step + length; at < size; ++at) {
        last = next(last & kStateMask, classOf_[std::uint8_t(chars[at])]);
        if (last & kReports) report(last, at + 1, found);
    }
}

}  // namespace kz::filters
