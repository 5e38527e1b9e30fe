#include "evaluate/link_check.h"

#include <string>

#include "evaluate/evaluators_value.h"

namespace kz::scan {

void CheckLinks(const MessageContext& context, filters::LinkLookups& lookups, std::string_view text,
                const filters::FilterTable& table, filters::CriteriaResults& results) {
    std::string response;
    std::string listName;
    if (!filters::FindBlacklistedLink(context.MessageId, lookups, text, response, listName)) return;
    filters::RecordCriterionMet(filters::URLBL, table, results, "MF-SBLURI", listName);
}

}  // namespace kz::scan
