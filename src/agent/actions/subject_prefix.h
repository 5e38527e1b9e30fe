#pragma once
// ADD_SUBJECT_PREFIX: the prefix in front of the Subject header's text.

#include <optional>
#include <string>
#include <string_view>

#include "actions/message_edits.h"
#include "message/message_context.h"

namespace kz::actions {

// The message text with the prefix put in front of the text of the first "Subject:"
// header line; CR LF and bare LF line ends both count. Unchanged when that line already
// holds the prefix (without regard to case). Empty when the header block has no such
// line or the line has no line end: there is nothing to prefix.
std::optional<std::string> PrefixSubjectInText(std::string_view message, std::string_view prefix);

// Puts the prefix into the run's text of the context's Inbound message file; the working
// copy is its temporary name when the edits are written. True when the subject carries the
// prefix afterwards (also when it already did); false when there is no message file or no
// subject line to mark, or the file could not be read, so the action is never reported for
// a message it left unmarked.
bool AddSubjectPrefix(MessageEdits& edits, const MessageContext& context, std::string_view prefix);

}  // namespace kz::actions
