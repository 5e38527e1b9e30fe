#pragma once
// EXECUTE_APPLICATION: running an administrator's program for the message.

#include <chrono>
#include <string>
#include <string_view>

#include "message/message_context.h"

namespace kz::actions {

// How long a run waits for the program before killing it.
inline constexpr std::chrono::milliseconds kExecuteBound{600000};

// "command parameters" with every "[ID]", "[CONNECTOR]" and "[TIME]" replaced by the
// message identifier, the connector name and the mail date (in that order), within
// 2,046 characters.
std::string ExpandCommandLine(const MessageContext& context, std::string_view command,
                              std::string_view parameters);

// Starts the expanded command line as a program with its split arguments (never through
// a shell) and waits for it at most `bound`, killing it then. True when it was started.
bool ExecuteApplication(const MessageContext& context, std::string_view command,
                        std::string_view parameters,
                        std::chrono::milliseconds bound = kExecuteBound);

}  // namespace kz::actions
