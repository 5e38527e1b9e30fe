#pragma once
// The "[KZ_SENDER]" token of word and address lists: it stands for the envelope
// sender's bare address, so a list can match mail that mentions its own sender.

#include <cstddef>
#include <string>
#include <string_view>

#include "filters/criteria_results.h"

namespace kz::filters {

// Whether instance data uses the token (in any letter case).
bool UsesSenderToken(std::string_view instanceData);

// The bare address of the run's envelope sender: the text after the first ":" less its
// last character (the closing bracket of "[SMTP:address]"), or the whole value when it
// has no ":"; at most 511 characters. Empty without a message.
std::string SenderTokenAddress(const CriteriaResults& results);

// Replaces every "[KZ_SENDER]" (exact case) in an alternative, keeping it within its
// buffer of alternativeSize bytes.
void ReplaceSenderToken(std::string& alternative, std::string_view senderAddress,
                        std::size_t alternativeSize);

}  // namespace kz::filters
