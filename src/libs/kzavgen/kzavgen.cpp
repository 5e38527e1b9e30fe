// KZAVGEN: the antivirus scan of a queued message by clamd.
//
// ProviderExecute(agent, message id, connector, result text) streams the message file to
// clamd and returns 1 with the signature in the result text when clamd finds one. An
// answer that is not a verdict (clamd unreachable, its stream limit, a daemon error) is
// not "clean": with "Fail Closed" (the default) the entry returns 1 with "scanner
// unavailable" so that the administrator's filter holds the message; without it, 0. A
// warning is reported either way, once a minute at most. Settings: the "Antivirus" key
// under the agent's key.

#include "clamd_scan.h"
#include "message_file.h"
#include "platform/exports.h"
#include "provider_support/event_throttle.h"
#include "provider_support/reply_buffer.h"

namespace {

using namespace kz::providers;

constexpr std::size_t kResultSize = 1024;
constexpr std::string_view kUnavailable = "scanner unavailable";

EventThrottle gUnavailable;

int scan(const char* messageId, const char* connector, char* resultText) {
    const ClamdSettings settings = ReadClamdSettings();
    const auto path = InboundMessageFile(connector ? connector : "", messageId ? messageId : "");
    const ClamdOutcome outcome =
        path ? ScanWithClamd(settings, *path)
             : ClamdOutcome{ClamdOutcome::Failed, "no message file for that name"};
    switch (outcome.kind) {
        case ClamdOutcome::Clean:
            return 0;
        case ClamdOutcome::Found:
            fillBuffer(resultText, kResultSize, outcome.text);
            return 1;
        case ClamdOutcome::Failed:
            break;
    }
    gUnavailable.report(std::string("Antivirus scan failed, messages are ") +
                        (settings.failClosed ? "held" : "delivered unscanned") + ": " +
                        outcome.text);
    if (!settings.failClosed) return 0;
    fillBuffer(resultText, kResultSize, kUnavailable);
    return 1;
}

}  // namespace

KZ_EXPORT int KZ_STDCALL ProviderExecute(const char* /*agent*/, const char* messageId,
                                         const char* connector, char* resultText) {
    // Nothing may be thrown across the entry; a failure is no verdict either way.
    try {
        return scan(messageId, connector, resultText);
    } catch (...) {
        fillBuffer(resultText, kResultSize, kUnavailable);
        return 1;
    }
}
