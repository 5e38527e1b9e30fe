#include "evaluate/evaluators_value.h"
#include "evaluate/message_evaluation.h"

namespace kz::evaluate {

namespace {

// Word boundaries of envelope values: in "[SMTP:address]" an address follows ":" and ends at "]".
constexpr std::string_view kEnvelopeDelimiters = ":]\r\n";

}  // namespace

// Each kind over every filter of the table, in this order.
void EvaluateEnvelopeCriteria(Evaluation& evaluation) {
    const MessageContext& context = *evaluation.message();
    evaluation.offerEnvelope(TOorCC, context.Recipients, kEnvelopeDelimiters);
    evaluation.offer(IPADDRESS, context.ClientIP, kEnvelopeDelimiters);
    EvaluateWhitelist(evaluation, context.Account, context.ClientIP);
    evaluation.offer(ACCOUNT, context.Account, kEnvelopeDelimiters);
    evaluation.offer(CONNECTOR, context.ConnectorName, kEnvelopeDelimiters);
    EvaluateSenderAuth(evaluation, context.AuthenticationStatus);
    RecordCriterionMet(evaluation, ALLMESSAGES, "All Messages");
}

}  // namespace kz::evaluate
