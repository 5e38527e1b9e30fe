#include "filters/word_automaton.h"

#include <algorithm>
#include <utility>

namespace kz::filters {

namespace {

using Edges = std::vector<std::pair<std::uint16_t, std::uint32_t>>;  // class, child

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

}  // namespace kz::filters
