#pragma once
// ADD_SUBJECT_PREFIX: the prefix in front of the Subject header's text.

#include <string>
#include <string_view>

#include "message/message_context.h"
#include "message/queue_publish.h"

namespace kz::actions {

// The message text with the prefix put in front of the text of the first "Subject:"
// header line. Unchanged when the header block has no such line, the line has no line
// end, or it already holds the prefix (without regard to case).
std::string PrefixSubjectInText(std::string_view message, std::string_view prefix);

// Rewrites the context's Inbound message file with the prefix, through a working copy
// renamed over it. 1 when the file is as it should be (also when nothing needed to
// change or there is no message file); 0 when it could not be read or rewritten.
int AddSubjectPrefix(const MessageContext& context, std::string_view prefix,
                     const QueueStepHook& hook = {});

}  // namespace kz::actions
