#include "providers/provider_verdicts.h"

#include <cstdlib>

#include "base/text_limit.h"
#include "config/registry_access.h"
#include "config/registry_keys.h"
#include "providers/provider_calls.h"
#include "providers/scan_providers.h"

namespace kz::providers {

namespace {

constexpr float kBayesianDetection = 95.0f;
constexpr const char* kAgentName = "MTAFILTER";

// With scanning on and no scanner to ask, a message is not clean: the scanner's own
// "Fail Closed" (default on) decides, as when the scanner cannot be reached.
VirusScan withoutScanner() {
    VirusScan scan;
    const std::string key = std::string(config::reg::kAgentKey) + "\\Antivirus";
    if (config::RegDwordOr(key, "Fail Closed", 1) != 0) {
        scan.result = 1;
        scan.text = "scanner unavailable";
    }
    return scan;
}

}  // namespace

void CountFor(const MessageContext& message, log::Counter counter) {
    if (!message.readOnly) log::IncrementCounter(counter);
}

void WriteCounters(const MessageContext& message, log::Counter first, log::Counter second) {
    if (message.readOnly) return;
    log::WriteCounterValue(first);
    log::WriteCounterValue(second);
}

std::optional<float> BayesianScore(const MessageContext& message) {
    const RequestEntry execute = Providers().bayesian.execute;
    if (!execute) return std::nullopt;
    const ProviderReply reply = CallRequestEntry(execute, MessageRequest(message), 0);
    std::optional<float> score;
    if (reply.result != 0) {
        const auto value = ReplyValue(reply.text, "SP");
        if (value && !value->empty()) score = float(std::atof(value->c_str()));
    }
    CountFor(message, log::Counter::BayesianTotalScans);
    if (score && *score > kBayesianDetection) CountFor(message, log::Counter::BayesianDetections);
    return score;
}

long SpamAssassinStatus(const MessageContext& message) {
    const RequestEntry execute = Providers().spamAssassin.execute;
    if (!execute) return 0;
    const ProviderReply reply =
        CallRequestEntry(execute, MessageRequest(message), int32_t(kReplySize));
    long status = 0;
    if (reply.result != 0) {
        const auto value = ReplyValue(reply.text, "PASS");
        if (value && !value->empty() && std::atol(value->c_str()) != 1) status = 1;
    }
    CountFor(message, log::Counter::SaTotalScans);
    if (status == 1) CountFor(message, log::Counter::SaDetections);
    return status;
}

VirusScan ScanForVirus(const MessageContext& message) {
    const AntivirusEntry execute = Providers().antivirus.execute;
    if (!execute) return withoutScanner();
    VirusScan scan;
    CountFor(message, log::Counter::AntivirusTotalScans);
    const std::string messageId(message.messageId);
    const std::string connector(message.connectorName);
    std::string text(kReplySize, '\0');
    scan.result = execute(kAgentName, messageId.c_str(), connector.c_str(), text.data());
    text.back() = '\0';
    scan.text.assign(text.c_str());
    return scan;
}

void CountVirusDetection(const MessageContext& message) {
    CountFor(message, log::Counter::AntivirusDetected);
}

}  // namespace kz::providers
