#include "filters/evaluators_value.h"

#include <cstdlib>
#include <string>

#include "common/bounded_text.h"
#include "common/format.h"
#include "filters/evaluators_walk.h"

namespace kz::filters {

namespace {

long numberOf(const std::string& text) {
    return std::atol(text.c_str());
}

}  // namespace

int EvaluateSizeCriterion(CriterionType kind, uint32_t size, const FilterTable& table,
                          CriteriaResults& results) {
    const long measured = long(size);
    Trace("Message Size detected as %ld\r\n", measured);
    ForEachEnabledSlot(
        table, results, kind, [&](const CriterionSlot& slot, MatchResultBlock& block) {
            if (measured > numberOf(slot.data)) {
                block.hitCount[kind] = 1;
                block.matchText[kind] = formatBounded(kMatchTextSize, "<SZ>%ld</SZ><SZL>%s</SZL>",
                                                      measured, slot.data.c_str());
            }
            for (int instance = 0; instance < slot.resultInstanceCount(); ++instance) {
                const std::string field = slot.instanceData(instance);
                std::string value;
                if (!field.empty() && field.front() == '\r') {
                    value = formatText("%ld", measured);
                } else {
                    value = measured > numberOf(field) ? "1" : "0";
                }
                assignCut(block.instanceValue[kind][std::size_t(instance)], value,
                          kInstanceValueSize);
            }
        });
    return 1;
}

}  // namespace kz::filters
