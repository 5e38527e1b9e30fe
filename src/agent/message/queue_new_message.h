#pragma once
// A message the agent queues itself (forwarded copies, notifications).

#include <string>
#include <string_view>

#include "message/message_context.h"
#include "message/queue_publish.h"

namespace kz {

// Writes a new message into the connector's Inbound queue: the message file first, then
// the command file with the five envelope lines, each whole under a temporary name and
// then renamed, so the MTA finds the command file only when the message is complete.
// The text is written as given (the caller adds "X-KZFilter: 1"). When the command file
// cannot be written the message file is removed again.
bool QueueNewMessage(std::string_view connectorRoot, std::string_view connector,
                     std::string_view messageId, std::string_view messageText,
                     const MessageEnvelope& envelope, const QueueStepHook& hook = {});

}  // namespace kz
