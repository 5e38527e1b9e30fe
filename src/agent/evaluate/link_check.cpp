#include "evaluate/link_check.h"

#include <string>

#include "evaluate/evaluators_value.h"

namespace kz::evaluate {

void CheckLinks(Evaluation& evaluation, filters::LinkLookups& lookups, std::string_view text) {
    std::string response;
    std::string listName;
    if (!filters::FindBlacklistedLink(evaluation.message()->messageId, lookups, text, response,
                                      listName))
        return;
    RecordCriterionMet(evaluation, URLBL, listName);
}

}  // namespace kz::evaluate
