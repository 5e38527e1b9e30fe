#include "actions/forward.h"

#include <optional>
#include <string>

#include "actions/append_recipient.h"
#include "base/format.h"
#include "base/text_limit.h"
#include "config/directories.h"
#include "config/settings.h"
#include "log/trace.h"
#include "message/loop_seal.h"
#include "message/message_header_text.h"
#include "message/queue_new_message.h"
#include "message/queue_paths.h"
#include "platform/files.h"

namespace kz::actions {

namespace {

// The envelope of the forwarded copy: from the forward sender to the address only.
MessageEnvelope ForwardEnvelope(const MessageContext& context, std::string_view address) {
    MessageEnvelope envelope = context;
    std::string sender = "[SMTP:" + config::ForwardSenderAddress() + "]";
    MessageEnvelope::kSenderLimit.assign(envelope.sender, sender);
    envelope.recipients.clear();
    AppendRecipient(envelope, address);
    envelope.account.clear();
    envelope.server.clear();
    envelope.clientIp.clear();
    envelope.status = "Undelivered";
    envelope.commandType = "NDR";
    return envelope;
}

// The copy marked as the agent's own: the loop header and the seal of its new name.
std::string MarkedCopy(std::string_view message, std::string_view newId) {
    std::string marked = SetHeaderInText(
        message, kLoopHeaderName, FormatHeaderLine(kLoopHeaderName, "1"), HeaderMode::ReplaceOrAdd);
    std::string sealLine = LoopSealLine(newId, "\r\n");
    if (sealLine.empty()) return marked;
    return SetHeaderInText(marked, kLoopSealHeaderName, sealLine, HeaderMode::ReplaceOrAdd);
}

}  // namespace

bool ForwardToAddress(const MessageContext& context, std::string_view address,
                      const QueueStepHook& hook) {
    if (context.ownMessage) {
        // The copy would carry what made this copy be acted on, over and over.
        log::Trace("Not forwarding %s: the filter queued it itself\n", context.messageId.c_str());
        return false;
    }
    std::string root = config::CurrentDirectories()->connectorRoot;
    std::optional<InboundPaths> paths =
        InboundQueuePaths(root, context.connectorName, context.messageId);
    if (!paths) return false;
    std::optional<std::string> message = platform::readFile(paths->messageFile);
    if (!message) return false;
    std::string newId =
        NewMessageIdFor(context, std::string("FORWARD_TO_ADDRESS\0", 19) + std::string(address));
    return QueueNewMessage(root, context.connectorName, newId, MarkedCopy(*message, newId),
                           ForwardEnvelope(context, address), hook)
               ? 1
               : 0;
}

}  // namespace kz::actions
