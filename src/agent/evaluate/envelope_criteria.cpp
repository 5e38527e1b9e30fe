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
    evaluation.offerEnvelope(TOorCC, context.recipients, kEnvelopeDelimiters);
    evaluation.offer(IPADDRESS, context.clientIp, kEnvelopeDelimiters);
    EvaluateWhitelist(evaluation, context.account, context.clientIp);
    evaluation.offer(ACCOUNT, context.account, kEnvelopeDelimiters);
    evaluation.offer(CONNECTOR, context.connectorName, kEnvelopeDelimiters);
    EvaluateSenderAuth(evaluation, context.authenticationStatus);
    RecordCriterionMet(evaluation, ALLMESSAGES, "All Messages");
}

}  // namespace kz::evaluate
