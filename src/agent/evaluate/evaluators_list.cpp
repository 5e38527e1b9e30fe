#include "evaluate/evaluators_list.h"

#include <string>

#include "base/delimited_field.h"
#include "evaluate/evaluators_sender.h"
#include "evaluate/evaluators_walk.h"
#include "filters/match_pattern.h"
#include "filters/result_hits.h"
#include "filters/word_lists.h"

namespace kz::evaluate {

void EvaluateListCriterion(Evaluation& evaluation, const ListRule& rule, CriterionType kind,
                           std::string_view value, std::string_view delimiters) {
    const FilterTable& table = evaluation.table();
    const bool caseSensitive = filters::CaseSensitiveMatching();
    const std::string sender =
        rule.senderToken ? SenderTokenAddress(evaluation.message()) : std::string();
    ForEachEnabledInstance(
        evaluation, kind, [&](const CriterionSlot& slot, MatchResultBlock& block, int instance) {
            const std::string data = slot.instanceData(instance);
            if (filters::MatchInstanceWordFile(table, value, delimiters, data, kind, instance,
                                               block, rule.wordFileTag)) {
                return;
            }
            const bool replaceSender = rule.senderToken && UsesSenderToken(data);
            if (rule.beforeAlternatives) rule.beforeAlternatives(CountDelimitedFields(data, "\t"));
            ForEachAlternative(data, rule.alternativeLimit, [&](std::string& alternative) {
                if (replaceSender) ReplaceSenderToken(alternative, sender, rule.alternativeLimit);
                if (!filters::MatchPattern(value, alternative, delimiters, caseSensitive)) return;
                filters::RecordHit(block, kind, instance, rule.inlineTag, alternative);
                if (rule.onHit) rule.onHit(alternative);
            });
        });
}

}  // namespace kz::evaluate
