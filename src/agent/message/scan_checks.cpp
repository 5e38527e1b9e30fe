#include "message/scan_checks.h"

#include <string>

#include "filters/evaluators_providers.h"
#include "filters/evaluators_value.h"
#include "providers/dkim_check.h"

namespace kz::scan {

void CheckSpamProbability(MessageContext& context, const filters::FilterTable& table,
                          filters::CriteriaResults& results) {
    filters::EvaluateSpamProbability(filters::SPAM_PROBABILITY, context, table, results);
}

void CheckSpamAssassin(MessageContext& context, const filters::FilterTable& table,
                       filters::CriteriaResults& results) {
    filters::EvaluateSpamAssassin(filters::SPAMASSASSIN, context, table, results);
}

void CheckDkim(MessageContext& context, const filters::FilterTable& table,
               filters::CriteriaResults& results) {
    providers::CheckDkimSignature(filters::DKIM, context, table, results);
}

void CheckVirus(MessageContext& context, const filters::FilterTable& table,
                filters::CriteriaResults& results) {
    filters::EvaluateVirusCriterion(filters::HASVIRUS, context, table, results);
}

void CheckLinks(const MessageContext& context, filters::LinkLookups& lookups, std::string_view text,
                const filters::FilterTable& table, filters::CriteriaResults& results) {
    std::string response;
    std::string listName;
    if (!filters::FindBlacklistedLink(context.MessageId, lookups, text, response, listName)) return;
    filters::RecordCriterionMet(filters::URLBL, table, results, "MF-SBLURI", listName);
}

}  // namespace kz::scan
