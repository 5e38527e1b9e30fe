#pragma once
// The evaluators of criteria whose value is a number measured from the message or a
// fact of the envelope.

#include <cstdint>
#include <string_view>

#include "filters/criteria_results.h"
#include "filters/criterion_type.h"
#include "filters/filter_table.h"

namespace kz::filters {

// SIZE: met when the message is strictly larger than the slot's data. The hit count is
// set, not added, since one message has one size. An instance without argument gets the
// size itself as its value, so a script can compare it. Always 1.
int EvaluateSizeCriterion(CriterionType kind, uint32_t size, const FilterTable& table,
                          CriteriaResults& results);

// ALLMESSAGES and URLBL: met by the call itself. Every filter enabling the kind gets a
// hit, the match text "<tag>text</tag>" and "1" in every instance.
void RecordCriterionMet(CriterionType kind, const FilterTable& table, CriteriaResults& results,
                        std::string_view tag, std::string_view text);

// SENDERAUTH: met when the envelope's authentication status equals the slot's data.
// Instances get the status itself, met or not. Always 1.
int EvaluateSenderAuthCriterion(CriterionType kind, int32_t status, const FilterTable& table,
                                CriteriaResults& results);

// IPADDRESS_WHITELISTED: alternatives "1..." test the system whitelist and the whitelist
// files of the system and the account, "2..." the system whitelist and the account's
// files. Once the address is found whitelisted it stays so for the rest of the call.
// Nothing happens for an empty client address. Always 1.
int EvaluateWhitelistCriterion(CriterionType kind, std::string_view account,
                               std::string_view mailbox, std::string_view clientIp,
                               const FilterTable& table, CriteriaResults& results);

}  // namespace kz::filters
