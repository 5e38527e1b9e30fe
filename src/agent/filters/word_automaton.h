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

    struct Hit {
        std::uint32_t key;
        std::size_t end;  // one past the last character
    };
    // Every occurrence of every key in the text, overlapping ones included, in the order
    // of their ends.
    std::vector<Hit> hits(std::string_view text) const;

    std::size_t stateCount() const { return key_.size(); }

  private:
    static constexpr std::uint32_t kNoKey = UINT32_MAX;
    // Set on a transition's target when a key ends there: most bytes reach no key, and
    // then the search need not look at key_ and output_.
    static constexpr std::uint32_t kReports = std::uint32_t(1) << 31;
    static constexpr std::uint32_t kStateMask = kReports - 1;

    // The hits of the state a step reached (flagged kReports), ending at `end`.
    void report(std::uint32_t state, std::size_t end, std::vector<Hit>& hits) const;
    void scanAlone(std::string_view text, std::vector<Hit>& hits) const;

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

}  // namespace kz::filters
