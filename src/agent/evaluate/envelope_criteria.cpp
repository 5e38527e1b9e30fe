#include "evaluate/evaluators_text.h"
#include "evaluate/evaluators_value.h"
#include "evaluate/message_evaluation.h"

namespace kz::host {

namespace {

// Word boundaries of envelope values: in "[SMTP:address]" an address follows ":" and ends at "]".
constexpr std::string_view kEnvelopeDelimiters = ":]\r\n";

}  // namespace

// Each kind over every filter of the table, in this order.
void EvaluateEnvelopeCriteria(const MessageContext& context, const filters::FilterTable& table,
                              filters::CriteriaResults& results) {
    using namespace filters;
    EvaluateEnvelopeCriterion(TOorCC, kEnvelopeDelimiters, context.Recipients, table, results);
    EvaluateEnvelopeCriterion(IPADDRESS, kEnvelopeDelimiters, context.ClientIP, table, results);
    EvaluateWhitelistCriterion(IPADDRESS_WHITELISTED, context.Account, "", context.ClientIP, table,
                               results);
    EvaluateEnvelopeCriterion(ACCOUNT, kEnvelopeDelimiters, context.Account, table, results);
    EvaluateEnvelopeCriterion(CONNECTOR, kEnvelopeDelimiters, context.ConnectorName, table,
                              results);
    EvaluateSenderAuthCriterion(SENDERAUTH, context.AuthenticationStatus, table, results);
    RecordCriterionMet(ALLMESSAGES, table, results, "MF-ALL", "All Messages");
}

}  // namespace kz::host
