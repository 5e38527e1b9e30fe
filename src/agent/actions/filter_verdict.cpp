#include "actions/filter_verdict.h"

#include "base/text_limit.h"
#include "filters/criteria_script.h"
#include "filters/criterion_type.h"

namespace kz::actions {

namespace {

constexpr TextLimit kCriterionNameLimit{256};
constexpr TextLimit kCriterionDataLimit{512};
constexpr TextLimit kScriptResultLimit{1024};

void AppendEntry(std::string& criteriaText, std::string_view entry) {
    if (!criteriaText.empty()) criteriaText += '|';
    criteriaText += entry;
}

}  // namespace

Verdict DecideFilter(int position, const filters::FilterDefinition& filter,
                     filters::CriteriaResults& results, const MessageContext& message,
                     std::string& criteriaText) {
    Verdict verdict;
    if (filter.isScript) {
        std::string scriptResult;
        verdict.holds = filters::RunCriteriaScript(position, filter, results, &message,
                                                   scriptResult, kScriptResultLimit) == 1;
        verdict.criterionName.assign(kCriterionNameLimit.cut(scriptResult));
        criteriaText += scriptResult;
        return verdict;
    }
    const filters::MatchResultBlock& block = results.block(position);
    for (int kind = 0; kind < filters::kCriterionCount; ++kind) {
        const filters::CriterionSlot& slot = filter.slots[std::size_t(kind)];
        if (slot.enabled != 1) continue;
        std::string_view keyword = filters::KindOf(kind).keyword;
        if (block.hitCount[std::size_t(kind)] >= slot.threshold) {
            verdict.holds = true;
            verdict.setsResult = true;
            verdict.result = 1;
            verdict.criterionName.assign(keyword);
            verdict.criterionData.assign(
                kCriterionDataLimit.cut(block.matchText[std::size_t(kind)]));
            AppendEntry(criteriaText,
                        "CRITERIA=" + std::string(keyword) + ", DATA=" + verdict.criterionData);
        } else if (filter.matchAll) {
            // An unmet criterion clears what an earlier met one set.
            verdict.holds = false;
            verdict.setsResult = true;
            verdict.result = 0;
            AppendEntry(criteriaText, "CRITERIA=" + std::string(keyword) + ", MATCH=FALSE");
        }
    }
    return verdict;
}

}  // namespace kz::actions
