#pragma once
// How every text evaluator records a hit in the results of its run.

#include <string_view>

#include "filters/criteria_results.h"
#include "filters/criterion_type.h"

namespace kz::filters {

// One more hit of the kind; the match text becomes "<tag>word</tag>" (cut to the match
// text's limit), so after several hits it describes the last one; the instance's value
// becomes "1". Instances beyond the result row have no value to set.
void RecordHit(MatchResultBlock& block, CriterionType kind, int instance, std::string_view tag,
               std::string_view word);

// The match text "<tag>word</tag>" within the match text's limit.
std::string TaggedMatchText(std::string_view tag, std::string_view word);

}  // namespace kz::filters
