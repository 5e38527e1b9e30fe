#pragma once
// Adding one header line to a queued message file.

#include <string_view>

#include "message/message_context.h"
#include "message/queue_publish.h"

namespace kz {

enum class HeaderMode {
    InsertAtTop,   // the header line goes in front of the message
    ReplaceOrAdd,  // replaces every "name: " line of the header block, else ends it
};

// Rewrites the context's message file with the header line "name: value" into a working
// copy ("_" and the identifier, in the Messages folder) and renames that over the
// message file. On any failure the message file is unchanged and the result is false.
bool SetMessageHeader(const MessageContext& context, std::string_view name, std::string_view value,
                      HeaderMode mode, const QueueStepHook& hook = {});

}  // namespace kz
