#include "filters/word_automaton.h"

#include <algorithm>
#include <utility>

namespace kz::filters {

namespace {

using Edges = std::vector<std::pair<std::uint16_t, std::uint32_t>>;  // class, child

// A long text is searched as this many pieces at once: each step of a search waits for
// a table read, and the steps of different pieces do not wait for each other.
constexpr std::size_t kStreams = 4;
// Shorter pieces gain less than their start costs.
constexpr std::size_t kShortestPiece = 64;

}  // namespace

WordAutomaton::WordAutomaton(const std::vector<std::string_view>& keys, std::size_t denseCells) {
    std::array<bool, 256> used{};
    for (std::string_view key : keys) {
        for (char c : key) used[std::uint8_t(toLowerAscii(c))] = true;
        longestKey_ = std::max(longestKey_, key.size());
    }
    std::array<std::uint16_t, 256> folded{};
    for (std::size_t b = 0; b < 256; ++b) {
        if (used[b]) folded[b] = std::uint16_t(classCount_++);
    }
    for (std::size_t b = 0; b < 256; ++b) classOf_[b] = folded[std::uint8_t(toLowerAscii(char(b)))];

    // The trie, numbered in the order of insertion.
    std::vector<Edges> trie(1);
    std::vector<std::uint32_t> trieKey(1, kNoKey);
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (keys[k].empty()) continue;  // the root stands for no key
        std::uint32_t node = 0;
        for (char c : keys[k]) {
            const std::uint16_t byteClass = classOf_[std::uint8_t(c)];
            auto edge = std::find_if(trie[node].begin(), trie[node].end(),
                                     [&](const auto& e) { return e.first == byteClass; });
            if (edge != trie[node].end()) {
                node = edge->second;
                continue;
            }
            const auto child = std::uint32_t(trie.size());
            trie[node].emplace_back(byteClass, child);
            trie.emplace_back();
            trieKey.push_back(kNoKey);
            node = child;
        }
        trieKey[node] = std::uint32_t(k);
    }

    // Renumbered breadth first: a state's failure target, being shallower, comes before
    // it, and the first states are the shallowest.
    const std::size_t count = trie.size();
    std::vector<std::uint32_t> order;
    order.reserve(count);
    order.push_back(0);
    std::vector<std::uint32_t> renumbered(count, 0);
    for (std::size_t i = 0; i < order.size(); ++i) {
        renumbered[order[i]] = std::uint32_t(i);
        Edges& edges = trie[order[i]];
        std::sort(edges.begin(), edges.end());
        for (const auto& edge : edges) order.push_back(edge.second);
    }
    edgeStart_.assign(count + 1, 0);
    key_.resize(count);
    for (std::size_t s = 0; s < count; ++s) {
        const Edges& edges = trie[order[s]];
        key_[s] = trieKey[order[s]];
        edgeStart_[s + 1] = edgeStart_[s] + std::uint32_t(edges.size());
        for (const auto& edge : edges) {
            edgeClass_.push_back(edge.first);
            edgeTarget_.push_back(renumbered[edge.second]);
        }
    }
    trie.clear();

    auto child = [&](std::uint32_t state, std::uint16_t byteClass) -> std::uint32_t {
        auto begin = edgeClass_.begin() + edgeStart_[state];
        auto end = edgeClass_.begin() + edgeStart_[state + 1];
        auto it = std::lower_bound(begin, end, byteClass);
        return it != end && *it == byteClass ? edgeTarget_[std::size_t(it - edgeClass_.begin())]
                                             : 0;
    };
    failure_.assign(count, 0);
    output_.assign(count, 0);
    for (std::uint32_t s = 0; s < count; ++s) {
        for (std::uint32_t e = edgeStart_[s]; e < edgeStart_[s + 1]; ++e) {
            const std::uint32_t target = edgeTarget_[e];
            std::uint32_t fallback = 0;
            if (s != 0) {
                std::uint32_t f = failure_[s];
                while (f != 0 && child(f, edgeClass_[e]) == 0) f = failure_[f];
                fallback = child(f, edgeClass_[e]);
            }
            failure_[target] = fallback;
            output_[target] = key_[fallback] != kNoKey ? fallback : output_[fallback];
        }
    }

    denseStates_ = std::uint32_t(std::clamp<std::size_t>(denseCells / classCount_, 1, count));
    dense_.assign(std::size_t(denseStates_) * classCount_, 0);
    for (std::uint32_t s = 0; s < denseStates_; ++s) {
        std::uint32_t* row = &dense_[std::size_t(s) * classCount_];
        if (s != 0) {
            const std::uint32_t* inherited = &dense_[std::size_t(failure_[s]) * classCount_];
            std::copy(inherited, inherited + classCount_, row);
        }
        for (std::uint32_t e = edgeStart_[s]; e < edgeStart_[s + 1]; ++e) {
            row[edgeClass_[e]] = edgeTarget_[e];
        }
    }
    auto flag = [&](std::uint32_t& target) {
        if (key_[target] != kNoKey || output_[target] != 0) target |= kReports;
    };
    std::for_each(edgeTarget_.begin(), edgeTarget_.end(), flag);
    std::for_each(dense_.begin(), dense_.end(), flag);
}

void WordAutomaton::report(std::uint32_t state, std::size_t end, std::vector<Hit>& hits) const {
    const std::uint32_t reached = state & kStateMask;
    for (std::uint32_t out = key_[reached] != kNoKey ? reached : output_[reached]; out != 0;
         out = output_[out]) {
        hits.push_back({key_[out], end});
    }
}

void WordAutomaton::scanAlone(std::string_view text, std::vector<Hit>& hits) const {
    std::uint32_t state = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        state = next(state & kStateMask, classOf_[std::uint8_t(text[at])]);
        if (state & kReports) report(state, at + 1, hits);
    }
}

std::vector<WordAutomaton::Hit> WordAutomaton::hits(std::string_view text) const {
    std::vector<Hit> found;
    if (longestKey_ == 0) return found;
    // A key that ends in a piece starts at most `overlap` characters before it: a piece's
    // search starts that far back, and reports only the keys that end within the piece.
    const std::size_t overlap = longestKey_ - 1;
    const std::size_t size = text.size();
    if (size < overlap + kStreams * kShortestPiece) {
        scanAlone(text, found);
        return found;
    }
    // Search i starts at i * step and takes `length` steps together with the others; the
    // last one then goes on to the end.
    const std::size_t step = (size - overlap) / kStreams;
    const std::size_t length = step + overlap;
    std::array<std::vector<Hit>, kStreams - 1> later;
    std::array<std::uint32_t, kStreams> state{};
    const char* const chars = text.data();
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
            if (state[i] & kReports) report(state[i], i * step + j + 1, later[i - 1]);
        }
    }
    std::uint32_t last = state[kStreams - 1];
    for (std::size_t at = (kStreams - 1) * step + length; at < size; ++at) {
        last = next(last & kStateMask, classOf_[std::uint8_t(chars[at])]);
        if (last & kReports) report(last, at + 1, later.back());
    }
    for (const std::vector<Hit>& piece : later)
        found.insert(found.end(), piece.begin(), piece.end());
    return found;
}

}  // namespace kz::filters
