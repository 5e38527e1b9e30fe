#pragma once
// The criteria whose value is a provider's verdict on the message. Each asks its
// provider at most once per message, at the first filter that enables the kind, and
// compares that one answer for every filter.

#include <cstdint>

#include "filters/criteria_results.h"
#include "filters/criterion_type.h"
#include "filters/filter_table.h"
#include "message/message_context.h"

namespace kz::filters {

// SPAM_PROBABILITY: met when the Bayesian score is above the threshold; a message
// without a score meets no threshold. Always 1.
int EvaluateSpamProbability(CriterionType kind, MessageContext& message, const FilterTable& table,
                            CriteriaResults& results);

// SPAMASSASSIN: status 1 when the message failed the check. 0 when the provider is off
// or the authenticated sender bypasses it, else 1.
int EvaluateSpamAssassin(CriterionType kind, MessageContext& message, const FilterTable& table,
                         CriteriaResults& results);

// HASVIRUS: met when the antivirus provider found a virus. Always 1.
int EvaluateVirusCriterion(CriterionType kind, MessageContext& message, const FilterTable& table,
                           CriteriaResults& results);

// DKIM: compares the verdict class (0 fail, 1 pass, 2 indeterminate) with each
// instance's wanted class; the code goes into the instances that hold.
void CompareDkimClass(CriterionType kind, int32_t dkimClass, long resultCode,
                      const FilterTable& table, CriteriaResults& results);

// True when some filter of the table enables the kind.
bool AnyFilterEnables(const FilterTable& table, CriterionType kind);

}  // namespace kz::filters
