#pragma once
// Where the disposition actions that work on a finished message find its file.

#include <optional>
#include <string>

#include "message/message_context.h"

namespace kz::actions {

// The message file in the connector's Outgoing message folder when it is there,
// otherwise the one in its Inbound message folder. Empty when the queue names are unsafe
// or neither file exists.
std::optional<std::string> DispositionMessageFile(const MessageContext& context);

}  // namespace kz::actions
