#pragma once
// The results of one message run: per filter and kind a hit count, the description of
// the last match and the value of every instance. Belongs to one run and one thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/text_limit.h"
#include "filters/criterion_type.h"

namespace kz::filters {

struct FilterTable;

// The limits of the result texts.
constexpr TextLimit kMatchTextLimit{1024};
constexpr TextLimit kInstanceValueLimit{16};

struct MatchResultBlock {
    std::array<int32_t, kCriterionCount> hitCount{};
    std::array<std::string, kCriterionCount> matchText;
    std::array<std::array<std::string, kMaxInstances>, kCriterionCount> instanceValue;
};

struct CriteriaResults {
    std::vector<MatchResultBlock> blocks;  // position p is blocks[p - 1]

    int filterCount() const { return int(blocks.size()); }

    MatchResultBlock& block(int position) { return blocks.at(std::size_t(position - 1)); }
    const MatchResultBlock& block(int position) const {
        return blocks.at(std::size_t(position - 1));
    }
};

// One empty block per filter position of the table.
void AllocateResults(const FilterTable& table, CriteriaResults& results);
// Frees the blocks.
void ReleaseResults(CriteriaResults& results);

}  // namespace kz::filters
