#pragma once
// The criteria whose value is a provider's verdict on the message. Each asks its
// provider at most once per message, at the first filter that enables the kind, and
// compares that one answer for every filter.

#include <cstdint>

#include "evaluate/evaluation.h"

namespace kz::evaluate {

// SPAM_PROBABILITY: met when the Bayesian score is above the threshold; a message
// without a score meets no threshold.
void EvaluateSpamProbability(Evaluation& evaluation);

// SPAMASSASSIN: status 1 when the message failed the check; nothing when the provider
// is off or the authenticated sender bypasses it.
void EvaluateSpamAssassin(Evaluation& evaluation);

// HASVIRUS: met when the antivirus provider found a virus.
void EvaluateVirus(Evaluation& evaluation);

// DKIM: compares the verdict class (0 fail, 1 pass, 2 indeterminate) with each
// instance's wanted class; the code goes into the instances that hold.
void CompareDkimClass(Evaluation& evaluation, int32_t dkimClass, long resultCode);

// True when some filter of the table enables the kind.
bool AnyFilterEnables(const FilterTable& table, CriterionType kind);

}  // namespace kz::evaluate
