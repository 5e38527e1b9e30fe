#include "evaluate/evaluators_value.h"

#include <cstdlib>
#include <string>

#include "base/format.h"
#include "base/text_limit.h"
#include "evaluate/evaluators_walk.h"
#include "log/trace.h"

namespace kz::evaluate {

namespace {

long numberOf(const std::string& text) {
    return std::atol(text.c_str());
}

}  // namespace

void RecordCriterionMet(Evaluation& evaluation, CriterionType kind, std::string_view text) {
    const std::string tagText(filters::KindOf(kind).tag);
    const std::string value(text);
    const std::string match = formatBounded(filters::kMatchTextLimit, "<%s>%s</%s>",
                                            tagText.c_str(), value.c_str(), tagText.c_str());
    ForEachEnabledSlot(evaluation, kind, [&](const CriterionSlot& slot, MatchResultBlock& block) {
        block.hitCount[kind] += 1;
        block.matchText[kind] = match;
        for (int instance = 0; instance < slot.resultInstanceCount(); ++instance)
            block.instanceValue[kind][std::size_t(instance)] = "1";
    });
}

void EvaluateSenderAuth(Evaluation& evaluation, int32_t status) {
    constexpr CriterionType kind = SENDERAUTH;
    const std::string statusText = formatText("%ld", long(status));
    ForEachEnabledSlot(evaluation, kind, [&](const CriterionSlot& slot, MatchResultBlock& block) {
        if (long(status) == numberOf(slot.data)) {
            block.hitCount[kind] += 1;
            block.matchText[kind] = "<MF-ES>1</MF-ES>";
        }
        for (int instance = 0; instance < slot.resultInstanceCount(); ++instance)
            filters::kInstanceValueLimit.assign(block.instanceValue[kind][std::size_t(instance)],
                                                statusText);
    });
}

void EvaluateSize(Evaluation& evaluation, uint32_t size) {
    constexpr CriterionType kind = SIZE;
    const long measured = long(size);
    log::Trace("Message Size detected as %ld\r\n", measured);
    ForEachEnabledSlot(evaluation, kind, [&](const CriterionSlot& slot, MatchResultBlock& block) {
        if (measured > numberOf(slot.data)) {
            block.hitCount[kind] = 1;
            block.matchText[kind] = formatBounded(
                filters::kMatchTextLimit, "<SZ>%ld</SZ><SZL>%s</SZL>", measured, slot.data.c_str());
        }
        for (int instance = 0; instance < slot.resultInstanceCount(); ++instance) {
            const std::string field = slot.instanceData(instance);
            std::string value;
            if (!field.empty() && field.front() == '\r') {
                value = formatText("%ld", measured);
            } else {
                value = measured > numberOf(field) ? "1" : "0";
            }
            filters::kInstanceValueLimit.assign(block.instanceValue[kind][std::size_t(instance)],
                                                value);
        }
    });
}

}  // namespace kz::evaluate
