#pragma once
// One provider call per message and the verdict read from its reply, with the counters
// it moves. A run that only explains itself moves no counter.

#include <optional>
#include <string>

#include "log/counters.h"
#include "message/message_context.h"

namespace kz::providers {

// The Bayesian score from "<SP>"; empty when the provider gave no reply or no score.
std::optional<float> BayesianScore(const MessageContext& message);

// 1 when the SpamAssassin reply's "<PASS>" holds a value other than 1, else 0.
long SpamAssassinStatus(const MessageContext& message);

struct VirusScan {
    int result = 0;  // 1: a virus was found
    std::string text;
};
// The antivirus provider's scan; without a scan entry "scanner unavailable" (result 1)
// unless its "Fail Closed" is 0.
VirusScan ScanForVirus(const MessageContext& message);
// One more "Antivirus Detected", for each filter that tests for viruses.
void CountVirusDetection(const MessageContext& message);

// Counter updates on behalf of a run.
void CountFor(const MessageContext& message, log::Counter counter);
void WriteCounters(const MessageContext& message, log::Counter first, log::Counter second);

}  // namespace kz::providers
