#pragma once
// The DKIM check of a message: one signature verification per message by the DKIM
// provider, what a failed one leaves behind ("Debug DKIM"), and the comparison of its
// verdict for every filter that tests DKIM.

#include <optional>
#include <string>
#include <string_view>

#include "evaluate/evaluation.h"

namespace kz::evaluate {

// The sender's local part and domain taken from an envelope value such as
// "[SMTP:user@example.com]"; empty when it has no ":" or no "@".
struct DkimSender {
    std::string localPart;
    std::string domain;
};
std::optional<DkimSender> DkimSenderOf(std::string_view sender);

// The "Authentication-Results" text of a failed verification's result code.
std::string_view DkimHeaderText(long resultCode);

// Verifies the message when some filter enables DKIM and records every filter's result.
void EvaluateDkim(Evaluation& evaluation);

}  // namespace kz::evaluate
