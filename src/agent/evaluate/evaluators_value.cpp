#include "evaluate/evaluators_value.h"

#include <cstdlib>
#include <string>

#include "base/bounded_text.h"
#include "base/format.h"
#include "evaluate/evaluators_walk.h"
#include "log/trace.h"

namespace kz::filters {

namespace {

long numberOf(const std::string& text) {
    return std::atol(text.c_str());
}

}  // namespace

void RecordCriterionMet(CriterionType kind, const FilterTable& table, CriteriaResults& results,
                        std::string_view tag, std::string_view text) {
    const std::string tagText(tag);
    const std::string value(text);
    const std::string match = formatBounded(kMatchTextSize, "<%s>%s</%s>", tagText.c_str(),
                                            value.c_str(), tagText.c_str());
    ForEachEnabledSlot(table, results, kind,
                       [&](const CriterionSlot& slot, MatchResultBlock& block) {
                           block.hitCount[kind] += 1;
                           block.matchText[kind] = match;
                           for (int instance = 0; instance < slot.resultInstanceCount(); ++instance)
                               block.instanceValue[kind][std::size_t(instance)] = "1";
                       });
}

int EvaluateSenderAuthCriterion(CriterionType kind, int32_t status, const FilterTable& table,
                                CriteriaResults& results) {
    const std::string statusText = formatText("%ld", long(status));
    ForEachEnabledSlot(table, results, kind,
                       [&](const CriterionSlot& slot, MatchResultBlock& block) {
                           if (long(status) == numberOf(slot.data)) {
                               block.hitCount[kind] += 1;
                               block.matchText[kind] = "<MF-ES>1</MF-ES>";
                           }
                           for (int instance = 0; instance < slot.resultInstanceCount(); ++instance)
                               assignCut(block.instanceValue[kind][std::size_t(instance)],
                                         statusText, kInstanceValueSize);
                       });
    return 1;
}

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
