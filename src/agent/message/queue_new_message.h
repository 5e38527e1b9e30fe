#pragma once
// A message the agent queues itself (forwarded copies, notifications).

#include <string>
#include <string_view>

#include "message/message_context.h"
#include "message/queue_publish.h"

namespace kz {

// The name of a new message that an action queues about the run's message: 32 upper-case
// hexadecimal digits and ".MAI", derived from the message (connector, name, time acquired,
// sender) and from what the action asks (`action`: its keyword and data). A run repeated
// after a crash names the same new message again, and QueueNewMessage finds it queued.
std::string NewMessageIdFor(const MessageContext& context, std::string_view action);

// Writes a new message into the connector's Inbound queue: the message file first, then
// the command file with the five envelope lines, each whole under a temporary name and
// then renamed, so the MTA finds the command file only when the message is complete.
// The text is written as given (the caller adds "X-KZFilter: 1"). When the command file
// cannot be written the message file is removed again. A message of that name that is
// queued already (its command file in Inbound) or handed on (in Outgoing) is left as it
// is: true, and nothing is written.
bool QueueNewMessage(std::string_view connectorRoot, std::string_view connector,
                     std::string_view messageId, std::string_view messageText,
                     const MessageEnvelope& envelope, const QueueStepHook& hook = {});

}  // namespace kz
