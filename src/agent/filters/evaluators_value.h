#pragma once
// The evaluators of criteria whose value is a number measured from the message.

#include <cstdint>

#include "filters/criteria_results.h"
#include "filters/criterion_type.h"
#include "filters/filter_table.h"

namespace kz::filters {

// SIZE: met when the message is strictly larger than the slot's data. The hit count is
// set, not added, since one message has one size. An instance without argument gets the
// size itself as its value, so a script can compare it. Always 1.
int EvaluateSizeCriterion(CriterionType kind, uint32_t size, const FilterTable& table,
                          CriteriaResults& results);

}  // namespace kz::filters
