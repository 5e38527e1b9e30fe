#include "evaluate/message_evaluation.h"

#include <string>

#include "base/format.h"
#include "base/text_limit.h"
#include "config/directories.h"
#include "config/settings.h"
#include "evaluate/scan.h"
#include "log/debug_log.h"
#include "log/trace.h"
#include "message/envelope.h"

namespace kz::evaluate {

bool PrepareMessage(MessageContext& context, std::string_view connectorName,
                    std::string_view messageName) {
    config::ReadRunDirectories();
    context.messageId.assign(MessageContext::kNameLimit.cut(messageName));
    context.connectorName.assign(MessageContext::kNameLimit.cut(connectorName));
    if (ReadEnvelope(context)) return true;
    log::Trace("Filter was unable to load message %s\r\n", std::string(messageName).c_str());
    return false;
}

bool EvaluateMessage(Evaluation& evaluation) {
    EvaluateEnvelopeCriteria(evaluation);
    try {
        return ScanMessageContent(evaluation);
    } catch (...) {
        // A library the scan calls has failed and reported it; the message is passed on
        // unfiltered rather than letting the exception reach the MTA's queue thread.
        log::DebugLogf("Message %s was not filtered: its scan ended with an exception\n",
                       evaluation.message()->messageId.c_str());
        return false;
    }
}

bool ScanMessageContent(Evaluation& evaluation) {
    if (config::FilterMime() != 0) return ScanMessageMime(evaluation);
    return ScanMessagePlain(evaluation);
}

}  // namespace kz::evaluate
