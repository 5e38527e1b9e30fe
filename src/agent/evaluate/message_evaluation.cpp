#include "evaluate/message_evaluation.h"

#include <string>

#include "base/bounded_text.h"
#include "base/format.h"
#include "config/directories.h"
#include "config/settings.h"
#include "evaluate/scan.h"
#include "log/debug_log.h"
#include "log/trace.h"
#include "message/envelope.h"

namespace kz::host {

bool PrepareMessage(MessageContext& context, std::string_view connectorName,
                    std::string_view messageName) {
    config::ReadRunDirectories();
    context.MessageId.assign(cutToBuffer(messageName, MessageContext::kNameSize));
    context.ConnectorName.assign(cutToBuffer(connectorName, MessageContext::kNameSize));
    if (ReadEnvelope(context)) return true;
    Trace("Filter was unable to load message %s\r\n", std::string(messageName).c_str());
    return false;
}

int EvaluateMessage(MessageContext& context, const filters::FilterTable& table,
                    filters::CriteriaResults& results) {
    EvaluateEnvelopeCriteria(context, table, results);
    try {
        return ScanMessageContent(context, table, results);
    } catch (...) {
        // A library the scan calls has failed and reported it; the message is passed on
        // unfiltered rather than letting the exception reach the MTA's queue thread.
        log::DebugLogf("Message %s was not filtered: its scan ended with an exception\n",
                       context.MessageId.c_str());
        return 0;
    }
}

int ScanMessageContent(MessageContext& context, const filters::FilterTable& table,
                       filters::CriteriaResults& results) {
    if (config::FilterMime() != 0) return ScanMessageMime(context, table, results);
    return ScanMessagePlain(context, table, results);
}

}  // namespace kz::host
