#pragma once
// The walk every text evaluator makes: over the filters that enable a kind, their
// instances, and the tab-separated alternatives of an inline list.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "base/text_limit.h"
#include "evaluate/evaluation.h"
#include "filters/compiled_instances.h"

namespace kz::evaluate {

// Calls visit(slot, block) for every filter whose slot of `kind` is enabled.
template <typename Visit>
void ForEachEnabledSlot(Evaluation& evaluation, CriterionType kind, Visit&& visit) {
    if (kind < 0 || kind >= filters::kCriterionCount) return;
    const FilterTable& table = evaluation.table();
    CriteriaResults& results = evaluation.results();
    const int32_t count = std::min(table.filterCount(), results.filterCount());
    for (int position = 1; position <= count; ++position) {
        const CriterionSlot& slot = table.filter(position).slots[kind];
        if (slot.isEnabled()) visit(slot, results.block(position));
    }
}

// Calls visit(slot, block, instance) for every instance that has a place in the results,
// of every filter whose slot of `kind` is enabled.
template <typename Visit>
void ForEachEnabledInstance(Evaluation& evaluation, CriterionType kind, Visit&& visit) {
    ForEachEnabledSlot(evaluation, kind, [&](const CriterionSlot& slot, MatchResultBlock& block) {
        for (int instance = 0; instance < slot.resultInstanceCount(); ++instance) {
            visit(slot, block, instance);
        }
    });
}

// Calls visit(alternative) for each alternative of an inline list, in order: the
// fields between tabs, as many as there are tabs after the first character plus one
// (none for empty data). A field that does not fit alternativeLimit reads as empty.
template <typename Visit>
void ForEachAlternative(std::string_view data, TextLimit alternativeLimit, Visit&& visit) {
    for (std::string_view field : filters::InlineAlternatives(data)) {
        std::string alternative(alternativeLimit.wholeOrEmpty(field));
        visit(alternative);
    }
}

}  // namespace kz::evaluate
