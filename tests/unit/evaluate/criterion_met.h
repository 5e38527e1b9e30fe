#pragma once
// A criterion's hits and match text in one filter's results, as "hits text", so that a
// test states both in one line.

#include <string>

#include "filters/criteria_results.h"

namespace kz::test {

inline std::string Met(const filters::MatchResultBlock& block, int kind) {
    return std::to_string(block.hitCount[kind]) + " " + block.matchText[kind];
}

}  // namespace kz::test
