// Word, address and envelope lists: one flow, with their own tags, sizes and traces.

#include "evaluate/evaluators_text.h"

#include <string>

#include "base/format.h"
#include "evaluate/evaluators_list.h"
#include "filters/criterion_slot.h"
#include "log/trace.h"

namespace kz::evaluate {

namespace {

constexpr TextLimit kAddressAlternativeLimit{1024};

void traceWordHit(std::string_view alternative) {
    log::Trace("Message General Criteria met against [%s] in specified word list.\n",
               std::string(alternative).c_str());
}

void traceRecipientList(int count) {
    log::Trace("Processing Recipient List of %d delimiters\r\n", count);
}

void traceAddressHit(std::string_view) {
    log::Trace("Message sender/recipient criteria met\n");
}

const ListRule kWordRule{.inlineTag = "MF-W",
                         .wordFileTag = "MF-W",
                         .alternativeLimit = CriterionSlot::kInstanceDataLimit,
                         .senderToken = true,
                         .onHit = traceWordHit};
const ListRule kAddressRule{.inlineTag = "MF-R",
                            .wordFileTag = "MF-W",
                            .alternativeLimit = kAddressAlternativeLimit,
                            .senderToken = true,
                            .beforeAlternatives = traceRecipientList,
                            .onHit = traceAddressHit};
const ListRule kEnvelopeRule{.inlineTag = "MF-E",
                             .wordFileTag = "MF-E",
                             .alternativeLimit = kAddressAlternativeLimit,
                             .senderToken = false};

}  // namespace

void EvaluateWords(Evaluation& evaluation, CriterionType kind, std::string_view value,
                   std::string_view delimiters) {
    EvaluateListCriterion(evaluation, kWordRule, kind, value, delimiters);
}

void EvaluateAddresses(Evaluation& evaluation, CriterionType kind, std::string_view value,
                       std::string_view delimiters) {
    EvaluateListCriterion(evaluation, kAddressRule, kind, value, delimiters);
}

void EvaluateEnvelopeList(Evaluation& evaluation, CriterionType kind, std::string_view value,
                          std::string_view delimiters) {
    EvaluateListCriterion(evaluation, kEnvelopeRule, kind, value, delimiters);
}

}  // namespace kz::evaluate
