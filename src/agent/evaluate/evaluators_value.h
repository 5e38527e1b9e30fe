#pragma once
// The evaluators of criteria whose value is a number measured from the message or a
// fact of the envelope.

#include <cstdint>
#include <string_view>

#include "evaluate/evaluation.h"

namespace kz::evaluate {

// SIZE: met when the message is strictly larger than the slot's data. The hit count is
// set, not added, since one message has one size. An instance without argument gets the
// size itself as its value, so a script can compare it.
void EvaluateSize(Evaluation& evaluation, uint32_t size);

// ALLMESSAGES and URLBL: met by the call itself. Every filter enabling the kind gets a
// hit, the match text "<tag>text</tag>" with the kind's tag and "1" in every instance.
void RecordCriterionMet(Evaluation& evaluation, CriterionType kind, std::string_view text);

// SENDERAUTH: met when the envelope's authentication status equals the slot's data.
// Instances get the status itself, met or not.
void EvaluateSenderAuth(Evaluation& evaluation, int32_t status);

// IPADDRESS_WHITELISTED: alternatives "1..." test the system whitelist and the whitelist
// files of the system and the account, "2..." the system whitelist and the account's
// files. Once the address is found whitelisted it stays so for the rest of the call.
// Nothing happens for an empty client address.
void EvaluateWhitelist(Evaluation& evaluation, std::string_view account, std::string_view clientIp);

}  // namespace kz::evaluate
