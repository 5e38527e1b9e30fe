#pragma once
// The "[KZ_SENDER]" token of word and address lists: it stands for the envelope
// sender's bare address, so a list can match mail that mentions its own sender.

#include <cstddef>
#include <string>
#include <string_view>

#include "base/text_limit.h"
#include "message/message_context.h"

namespace kz::evaluate {

// The bare address of the run's envelope sender: the text after the first ":" less its
// last character (the closing bracket of "[SMTP:address]"), or the whole value when it
// has no ":"; at most 511 characters. Empty without a message.
std::string SenderTokenAddress(const MessageContext* message);

// Replaces every "[KZ_SENDER]" (exact case) in an alternative, keeping it within its
// limit.
void ReplaceSenderToken(std::string& alternative, std::string_view senderAddress,
                        TextLimit alternativeLimit);

}  // namespace kz::evaluate
