#pragma once
// Operations on the queued files of the context's message in its connector's Inbound
// queue. Each refuses unsafe queue names and then touches nothing.

#include "message/message_context.h"

namespace kz {

// Deletes the command file, then the message file. A command file that cannot be
// deleted fails the operation and leaves the message file. True when both went.
bool DeleteQueuedMessage(const MessageContext& context);

// Copies the message file to "<directory>/Messages/<id>" (a missing Messages folder is
// created, the owner's alone), then the command file to "<directory>/<id>", replacing
// files of those names. Each copy appears whole and only its owner may read it. The
// queued files stay. True when both copies were made.
bool CopyToQuarantine(const MessageContext& context);
bool CopyToBadMail(const MessageContext& context);

}  // namespace kz
