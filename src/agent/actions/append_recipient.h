#pragma once
// Adding a recipient to an envelope's recipient list.

#include <string_view>

#include "message/message_context.h"

namespace kz::actions {

// Appends the address to Recipients (";" between entries), as it stands when it already
// carries a type ("[SMTP:...]"), else as "[SMTP:address]".
void AppendRecipient(MessageEnvelope& envelope, std::string_view address);

}  // namespace kz::actions
