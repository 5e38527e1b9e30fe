#pragma once
// The envelope of a queued message: reading and writing its command file.

#include "message/message_context.h"

namespace kz {

// Fills the envelope fields of the context from the command file named by its
// ConnectorName and MessageId. False when the command file cannot be opened.
bool ReadEnvelope(MessageContext& context);

}  // namespace kz
