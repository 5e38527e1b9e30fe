#pragma once
// The text of a command file: key=value lines, each ended by carriage return and line
// feed on disk as the MTA expects; lines ended by a line feed alone are read as well.

#include <string>
#include <string_view>
#include <vector>

#include "message/message_context.h"

namespace kz {

// The lines of a command file without their line ends. A last line without a line end
// counts; nothing follows the final line end.
std::vector<std::string> SplitCommandFileLines(std::string_view content);

// The five lines the agent writes, in this order: Recipients, Server, Sender,
// TimeAcquired, Status; then `keptLines` as they stand. Line breaks inside a value
// become blanks, so a value cannot add a line.
std::string FormatCommandFile(const MessageEnvelope& envelope,
                              const std::vector<std::string>& keptLines);

}  // namespace kz
