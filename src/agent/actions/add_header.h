#pragma once
// ADD_HEADER: a header line set in the run's text of the queued message.

#include <string_view>

#include "actions/message_edits.h"
#include "message/message_context.h"

namespace kz::actions {

// Sets "name: value" in the context's Inbound message file as SetMessageHeader's
// ReplaceOrAdd does; the working copy is its temporary name when the edits are written.
// False for an empty name, unsafe queue names or a message file that cannot be read.
bool AddHeaderLine(MessageEdits& edits, const MessageContext& context, std::string_view name,
                   std::string_view value);

}  // namespace kz::actions
