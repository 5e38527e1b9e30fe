#pragma once
// The envelope of a queued message: reading and writing its command file.

#include <string>
#include <vector>

#include "message/message_context.h"
#include "message/queue_publish.h"

namespace kz {

// Clears the envelope fields of the context and fills them from the command file named
// by its connectorName and messageId, remembering the file's lines for WriteEnvelope.
// False when the names are unsafe or the command file cannot be read.
bool ReadEnvelope(MessageContext& context);

// Writes the command file of the context's message: the five envelope lines the agent
// keeps (Recipients, Server, Sender, TimeAcquired, Status) and, when the envelope was
// read from this message's command file, every other line of that file as it was. The
// file is replaced whole. False when it cannot be written.
bool WriteEnvelope(const MessageContext& context, const QueueStepHook& hook = {});

// The same for a command file named directly, with the lines to keep.
bool WriteCommandFile(const std::string& commandFile, const MessageEnvelope& envelope,
                      const std::vector<std::string>& keptLines, const QueueStepHook& hook = {});

}  // namespace kz
