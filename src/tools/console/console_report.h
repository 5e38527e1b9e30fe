#pragma once
// The console's own lines in the agent's daily report log: a message released or deleted
// from the quarantine, with who did it, in the columns of the agent's "Executed" lines.

#include <string_view>

#include "held_message.h"

namespace kz::console {

// "Released" or "Deleted": MessageID, Connector, Filter (the filters that held it, joined
// by ";"), Result (what became of it), Account, Sender, IPAddress, Data ("by " and the
// actor) and Subject. Written under the log lock into today's file, which it starts with
// the header and Start line when it is new; nothing is written while the agent's file
// logging is off. False when the line could not be written.
bool WriteConsoleReportLine(const Installation& installation, std::string_view action,
                            const HeldFiles& held, const HeldMessage& message,
                            std::string_view result, const Actor& actor);

}  // namespace kz::console
