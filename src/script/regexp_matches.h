#pragma once
// The results of RegExp.Execute: a collection of matches, each with its submatches.

#include <memory>
#include <string>
#include <vector>

#include "script/object.h"

namespace kz::script {

struct MatchData {
    std::string value;
    int32_t firstIndex = 0;         // 0-based position in the searched text
    std::vector<Value> submatches;  // Empty for a group that took no part
};

std::shared_ptr<Object> MakeMatchCollection(std::vector<MatchData> matches);

}  // namespace kz::script
