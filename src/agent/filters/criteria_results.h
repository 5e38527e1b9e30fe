#pragma once
// The results of one message run: per filter and kind a hit count, the description of
// the last match and the value of every instance. Belongs to one run and one thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/text_limit.h"
#include "filters/criterion_type.h"

namespace kz::filters {

struct FilterTable;

// The limits of the result texts.
constexpr TextLimit kMatchTextLimit{1024};
constexpr TextLimit kInstanceValueLimit{16};

// The instance values of one filter, a row per kind. A row is made when it is first
// reached for writing; one never made reads as empty values. Most filters use a few kinds,
// so a run does not make and clear all 27 rows of every filter.
class InstanceValues {
  public:
    using Row = std::array<std::string, kMaxInstances>;

    InstanceValues() = default;
    InstanceValues(const InstanceValues& other);
    InstanceValues& operator=(const InstanceValues& other);
    InstanceValues(InstanceValues&&) noexcept = default;
    InstanceValues& operator=(InstanceValues&&) noexcept = default;

    Row& operator[](std::size_t kind);
    const Row& operator[](std::size_t kind) const;
    // Every value of the kind empty again.
    void clear(std::size_t kind) { rows_.at(kind).reset(); }

    // Every row in kind order, all made (for filling them all).
    struct Iterator {
        std::unique_ptr<Row>* at;
        Row& operator*() const { return **at; }
        Iterator& operator++() {
            ++at;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return at != other.at; }
    };
    Iterator begin();
    Iterator end() { return {rows_.data() + rows_.size()}; }

  private:
    std::array<std::unique_ptr<Row>, kCriterionCount> rows_;
};

struct MatchResultBlock {
    std::array<int32_t, kCriterionCount> hitCount{};
    std::array<std::string, kCriterionCount> matchText;
    InstanceValues instanceValue;
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
