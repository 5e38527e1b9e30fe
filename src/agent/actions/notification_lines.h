#pragma once
// Line work shared by the notification builders: the filtered message's header lines
// and the line ends of the queued notification file.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "message/message_context.h"

namespace kz::actions {

// The lines of a text read in text mode (line feeds only), without their line ends. A
// last line without a line end counts; nothing follows the final line end.
std::vector<std::string> SplitTextLines(std::string_view text);

// The filtered message's header lines, from its first line up to, not including, its
// first empty line, each without its line end and with any other carriage return
// blanked. Empty when the queue names are unsafe or the message file cannot be read.
std::optional<std::vector<std::string>> ReadFilteredHeaderLines(const MessageContext& context);

// The text with every line ended by carriage return and line feed, as the MTA reads
// queue files: a line feed alone gets its carriage return, a line that already has one
// keeps it (never carriage return twice).
std::string WithCrLfLineEnds(std::string_view text);

}  // namespace kz::actions
