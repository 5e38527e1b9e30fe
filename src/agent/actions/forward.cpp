#include "actions/forward.h"

#include <optional>
#include <string>

#include "actions/append_recipient.h"
#include "common/bounded_text.h"
#include "config/directories.h"
#include "config/settings.h"
#include "message/message_header_text.h"
#include "message/queue_new_message.h"
#include "message/queue_paths.h"
#include "platform/files.h"
#include "platform/guid.h"

namespace kz::actions {

namespace {

// The envelope of the forwarded copy: from the forward sender to the address only.
MessageEnvelope ForwardEnvelope(const MessageContext& context, std::string_view address) {
    MessageEnvelope envelope = context;
    std::string sender = "[SMTP:" + config::ForwardSenderAddress() + "]";
    assignCut(envelope.Sender, sender, MessageEnvelope::kSenderSize);
    envelope.Recipients.clear();
    AppendRecipient(envelope, address);
    envelope.Account.clear();
    envelope.Server.clear();
    envelope.ClientIP.clear();
    envelope.Status = "Undelivered";
    envelope.CommandType = "NDR";
    return envelope;
}

}  // namespace

int ForwardToAddress(const MessageContext& context, std::string_view address,
                     const QueueStepHook& hook) {
    std::string root = config::CurrentDirectories()->ConnectorRoot;
    std::optional<InboundPaths> paths =
        InboundQueuePaths(root, context.ConnectorName, context.MessageId);
    if (!paths) return 0;
    std::optional<std::string> message = platform::readFile(paths->messageFile);
    if (!message) return 0;
    std::string marked = SetHeaderInText(
        *message, "X-KZFilter", FormatHeaderLine("X-KZFilter", "1"), HeaderMode::ReplaceOrAdd);
    return QueueNewMessage(root, context.ConnectorName, platform::newQueuedMessageId(), marked,
                           ForwardEnvelope(context, address), hook)
               ? 1
               : 0;
}

}  // namespace kz::actions
