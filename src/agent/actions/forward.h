#pragma once
// FORWARD_TO_ADDRESS: a copy of the message queued anew for one address.

#include <string_view>

#include "message/message_context.h"
#include "message/queue_publish.h"

namespace kz::actions {

// Queues a copy of the message in the connector's Inbound queue under a new identifier,
// from the forward sender to the address, marked "X-KZFilter: 1" and sealed so that it
// is not filtered again. The copy appears only complete (message file first, command
// file last); on failure nothing of it is left. True when it was queued. The message itself
// stays queued. A message the agent queued itself is not forwarded (false).
bool ForwardToAddress(const MessageContext& context, std::string_view address,
                      const QueueStepHook& hook = {});

}  // namespace kz::actions
