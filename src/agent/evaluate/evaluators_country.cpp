#include <string>

#include "base/format.h"
#include "evaluate/evaluators_text.h"
#include "evaluate/evaluators_walk.h"
#include "filters/match_pattern.h"
#include "filters/result_hits.h"
#include "log/trace.h"

namespace kz::evaluate {

void EvaluateCountries(Evaluation& evaluation, CriterionType kind, std::string_view value,
                       std::string_view delimiters) {
    const bool wantMatch = kind == COUNTRY_MATCH;
    const bool caseSensitive = filters::CaseSensitiveMatching();
    ForEachEnabledInstance(
        evaluation, kind, [&](const CriterionSlot& slot, MatchResultBlock& block, int instance) {
            const std::string data = slot.instanceData(instance);
            ForEachAlternative(data, CriterionSlot::kInstanceDataLimit, [&](std::string& country) {
                const bool matches =
                    filters::MatchPattern(value, country, delimiters, caseSensitive);
                // Without the match flag every listed country other than the message's counts.
                if (matches != wantMatch) return;
                filters::RecordHit(block, kind, instance, "MF-W", country);
                log::Trace("Message General Criteria met against [%s] in specified word list.\n",
                           country.c_str());
            });
        });
}

}  // namespace kz::evaluate
