#include "evaluate/evaluators_list.h"

#include <string>

#include "base/delimited_field.h"
#include "evaluate/evaluators_sender.h"
#include "evaluate/evaluators_walk.h"
#include "filters/compiled_instances.h"
#include "filters/match_pattern.h"
#include "filters/result_hits.h"
#include "filters/word_lists.h"

namespace kz::evaluate {

namespace {

// Whether a word file took the instance: the one resolved when the table loaded while
// the table caches, otherwise the one the data names now.
bool matchWordFile(const FilterTable& table, const filters::CompiledInstance* compiled,
                   const std::string& data, const ListRule& rule, CriterionType kind,
                   std::string_view value, std::string_view delimiters, int instance,
                   MatchResultBlock& block) {
    if (compiled == nullptr || !table.patternCaching) {
        return filters::MatchInstanceWordFile(table, value, delimiters, data, kind, instance, block,
                                              rule.wordFileTag);
    }
    if (!compiled->cachedFile) return false;
    filters::MatchPatternList(*compiled->cachedFile, value, delimiters, kind, instance, block,
                              rule.wordFileTag);
    return true;
}

}  // namespace

void EvaluateListCriterion(Evaluation& evaluation, const ListRule& rule, CriterionType kind,
                           std::string_view value, std::string_view delimiters) {
    const FilterTable& table = evaluation.table();
    const bool caseSensitive = filters::CaseSensitiveMatching();
    const std::string sender =
        rule.senderToken ? SenderTokenAddress(evaluation.message()) : std::string();
    ForEachEnabledInstance(
        evaluation, kind, [&](const CriterionSlot& slot, MatchResultBlock& block, int instance) {
            const filters::CompiledInstance* compiled =
                table.referenceMatching ? nullptr : filters::FindCompiledInstance(slot, instance);
            std::string uncompiledData;
            const std::string& data =
                compiled ? compiled->data : (uncompiledData = slot.instanceData(instance));
            if (matchWordFile(table, compiled, data, rule, kind, value, delimiters, instance,
                              block)) {
                return;
            }
            const bool replaceSender = rule.senderToken && UsesSenderToken(data);
            if (rule.beforeAlternatives) rule.beforeAlternatives(CountDelimitedFields(data, "\t"));
            auto hit = [&](std::string_view alternative) {
                filters::RecordHit(block, kind, instance, rule.inlineTag, alternative);
                if (rule.onHit) rule.onHit(alternative);
            };
            if (compiled != nullptr && !replaceSender) {
                // An alternative too long for the limit reads as empty, which never matches.
                const filters::CompiledWordList& alternatives = compiled->alternatives;
                for (std::size_t index : alternatives.matches(value, delimiters, caseSensitive)) {
                    const std::string& alternative = alternatives.entries()[index];
                    if (rule.alternativeLimit.fits(alternative)) hit(alternative);
                }
                return;
            }
            ForEachAlternative(data, rule.alternativeLimit, [&](std::string& alternative) {
                if (replaceSender) ReplaceSenderToken(alternative, sender, rule.alternativeLimit);
                if (filters::MatchPattern(value, alternative, delimiters, caseSensitive)) {
                    hit(alternative);
                }
            });
        });
}

}  // namespace kz::evaluate
