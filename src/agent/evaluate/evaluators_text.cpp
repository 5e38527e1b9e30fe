// Word, address and envelope lists: one flow, with their own tags, sizes and traces.

#include "evaluate/evaluators_text.h"

#include <string>

#include "base/format.h"
#include "evaluate/evaluators_list.h"
#include "filters/criterion_slot.h"
#include "log/trace.h"

namespace kz::filters {

namespace {

constexpr std::size_t kAddressAlternativeSize = 1024;  // at most 1023 characters

void traceWordHit(std::string_view alternative) {
    Trace("Message General Criteria met against [%s] in specified word list.\n",
          std::string(alternative).c_str());
}

void traceRecipientList(int count) {
    Trace("Processing Recipient List of %d delimiters\r\n", count);
}

void traceAddressHit(std::string_view) {
    Trace("Message sender/recipient criteria met\n");
}

const ListRule kWordRule{.inlineTag = "MF-W",
                         .wordFileTag = "MF-W",
                         .alternativeSize = CriterionSlot::kInstanceDataSize,
                         .senderToken = true,
                         .onHit = traceWordHit};
const ListRule kAddressRule{.inlineTag = "MF-R",
                            .wordFileTag = "MF-W",
                            .alternativeSize = kAddressAlternativeSize,
                            .senderToken = true,
                            .beforeAlternatives = traceRecipientList,
                            .onHit = traceAddressHit};
const ListRule kEnvelopeRule{.inlineTag = "MF-E",
                             .wordFileTag = "MF-E",
                             .alternativeSize = kAddressAlternativeSize,
                             .senderToken = false};

}  // namespace

int EvaluateWordCriterion(CriterionType kind, std::string_view value, std::string_view delimiters,
                          const FilterTable& table, CriteriaResults& results) {
    return EvaluateListCriterion(kWordRule, kind, value, delimiters, table, results);
}

int EvaluateAddressCriterion(CriterionType kind, std::string_view value,
                             std::string_view delimiters, const FilterTable& table,
                             CriteriaResults& results) {
    return EvaluateListCriterion(kAddressRule, kind, value, delimiters, table, results);
}

int EvaluateEnvelopeCriterion(CriterionType kind, std::string_view delimiters,
                              std::string_view value, const FilterTable& table,
                              CriteriaResults& results) {
    return EvaluateListCriterion(kEnvelopeRule, kind, value, delimiters, table, results);
}

}  // namespace kz::filters
