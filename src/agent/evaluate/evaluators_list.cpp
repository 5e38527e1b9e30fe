#include "evaluate/evaluators_list.h"

#include <string>

#include "base/delimited_field.h"
#include "evaluate/evaluators_sender.h"
#include "evaluate/evaluators_walk.h"
#include "filters/match_pattern.h"
#include "filters/result_hits.h"
#include "filters/word_lists.h"

namespace kz::filters {

int EvaluateListCriterion(const ListRule& rule, CriterionType kind, std::string_view value,
                          std::string_view delimiters, const FilterTable& table,
                          CriteriaResults& results) {
    const bool caseSensitive = CaseSensitiveMatching();
    const std::string sender = rule.senderToken ? SenderTokenAddress(results) : std::string();
    ForEachEnabledInstance(
        table, results, kind,
        [&](const CriterionSlot& slot, MatchResultBlock& block, int instance) {
            const std::string data = slot.instanceData(instance);
            if (MatchInstanceWordFile(table, value, delimiters, data, kind, instance, block,
                                      rule.wordFileTag)) {
                return;
            }
            const bool replaceSender = rule.senderToken && UsesSenderToken(data);
            if (rule.beforeAlternatives) rule.beforeAlternatives(CountDelimitedFields(data, "\t"));
            ForEachAlternative(data, rule.alternativeSize, [&](std::string& alternative) {
                if (replaceSender) ReplaceSenderToken(alternative, sender, rule.alternativeSize);
                if (!MatchPattern(value, alternative, delimiters, caseSensitive)) return;
                RecordHit(block, kind, instance, rule.inlineTag, alternative);
                if (rule.onHit) rule.onHit(alternative);
            });
        });
    return 1;
}

}  // namespace kz::filters
