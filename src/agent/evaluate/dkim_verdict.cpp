#include "evaluate/dkim_verdict.h"

#include <cstdlib>

#include "base/ascii.h"
#include "config/settings.h"
#include "evaluate/evaluators_providers.h"
#include "log/event_report.h"
#include "message/message_header.h"
#include "message/queue_operations.h"
#include "providers/provider_calls.h"
#include "providers/provider_verdicts.h"
#include "providers/scan_providers.h"

namespace kz::evaluate {

namespace {

constexpr long kNoCheckCode = 100;
constexpr int32_t kFail = 0;
constexpr int32_t kPass = 1;
constexpr int32_t kIndeterminate = 2;

struct DkimVerdict {
    int32_t dkimClass = kIndeterminate;
    long code = kNoCheckCode;
};

int32_t classOf(long code) {
    if (code == 1) return kPass;
    if (code >= 2 || code == -1) return kIndeterminate;
    return kFail;
}

bool checkApplies(const MessageContext& message) {
    return providers::Providers().dkim.status == providers::kProviderUsable &&
           providers::Providers().dkim.execute && message.authenticationStatus == 0 &&
           equalsIgnoreCase(message.connectorName, "SMTP");
}

std::string dkimRequest(const MessageContext& message, const DkimSender& sender) {
    std::string request = "<COMMAND>VERIFY</COMMAND>" + providers::MessageRequest(message);
    return request + "<DOMAIN>" + sender.domain + "</DOMAIN><SENDER>" + sender.localPart +
           "</SENDER>";
}

// What a failed verification leaves, by the "Debug DKIM" level.
void recordFailure(const MessageContext& message, long code, const std::string& request,
                   const std::string& reply) {
    const uint32_t level = config::DebugDkim();
    if (level == 0) {
        providers::CountFor(message, log::Counter::DkimDetections);
        return;
    }
    if (message.readOnly) return;
    if (level >= 2)
        log::ReportEvent(platform::EventType::Information, log::kDefaultEventSource, {},
                         log::kAgentEventId, request + reply);
    if (level >= 3) CopyToQuarantine(message);
    SetMessageHeader(message, "Authentication-Results", DkimHeaderText(code),
                     HeaderMode::InsertAtTop);
    providers::CountFor(message, log::Counter::DkimDetections);
}

DkimVerdict verify(const MessageContext& message) {
    DkimVerdict verdict;
    if (!checkApplies(message)) return verdict;
    const auto sender = DkimSenderOf(message.sender);
    if (!sender) return verdict;
    providers::CountFor(message, log::Counter::DkimScans);
    const std::string request = dkimRequest(message, *sender);
    const providers::ProviderReply reply = providers::CallRequestEntry(
        providers::Providers().dkim.execute, request, int32_t(providers::kReplySize));
    const auto value = providers::ReplyValue(reply.text, "RESULT");
    verdict.code = value ? std::atol(value->c_str()) : 0;
    verdict.dkimClass = classOf(verdict.code);
    if (verdict.code < 1) recordFailure(message, verdict.code, request, reply.text);
    providers::WriteCounters(message, log::Counter::DkimScans, log::Counter::DkimDetections);
    return verdict;
}

}  // namespace

std::optional<DkimSender> DkimSenderOf(std::string_view sender) {
    const std::size_t colon = sender.find(':');
    const std::size_t at = sender.find('@');
    if (colon == std::string_view::npos || at == std::string_view::npos) return std::nullopt;
    DkimSender parts;
    std::size_t start = sender.find_first_not_of(" \r\n", colon + 1);
    if (start == std::string_view::npos) start = sender.size();
    const std::size_t localEnd = sender.find('@', start);
    parts.localPart = std::string(sender.substr(
        start, localEnd == std::string_view::npos ? std::string_view::npos : localEnd - start));
    const std::size_t domainEnd = sender.find(']', at + 1);
    parts.domain = std::string(sender.substr(
        at + 1, domainEnd == std::string_view::npos ? std::string_view::npos : domainEnd - at - 1));
    return parts;
}

std::string_view DkimHeaderText(long resultCode) {
    switch (resultCode) {
        case -9:
            return "dkim=fail (signature required)";
        case -8:
            return "dkim=fail (signature header empty)";
        case -6:
            return "dkim=fail (header hash invalid)";
        case -5:
            return "dkim=fail (body hash invalid)";
        case -4:
            return "dkim=fail (no key for signature)";
        case -3:
            return "dkim=fail (bad identity)";
        case -2:
            return "dkim=fail (no DNS entry)";
        case -1:
            return "dkim=temperror (DNS timed out)";
        default:
            return "dkim=fail (unknown error)";
    }
}

void EvaluateDkim(Evaluation& evaluation) {
    if (!AnyFilterEnables(evaluation.table(), DKIM)) return;
    const DkimVerdict verdict = verify(*evaluation.message());
    CompareDkimClass(evaluation, verdict.dkimClass, verdict.code);
}

}  // namespace kz::evaluate
