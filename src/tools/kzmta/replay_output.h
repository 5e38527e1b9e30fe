#pragma once
// What kzmta replay found, and its two printed forms: lines for a person, one JSON
// object for programs.

#include <cstdint>
#include <string>
#include <vector>

#include "replay_evaluation.h"

namespace kz::tool {

// A message whose outcome differs between the two tables.
struct ChangedMessage {
    uint64_t index = 0;  // in the order the messages were read
    std::string message;
    std::vector<int> before, after;  // positions of the filters that hold
};

struct ReplaySummary {
    uint64_t messages = 0;
    uint64_t notScanned = 0;  // the run would hand these on unfiltered
    uint64_t cut = 0;         // longer than the reader keeps; evaluated as far as kept
    double seconds = 0;
    TablePlan table;
    std::vector<uint64_t> holds;  // per filter position of `table`
    bool compared = false;
    TablePlan compareTable;
    std::vector<uint64_t> compareHolds;
    std::vector<ChangedMessage> changed;  // in reading order
};

std::string ReplayText(const ReplaySummary& summary);
std::string ReplayJson(const ReplaySummary& summary);  // one object and a line feed

}  // namespace kz::tool
