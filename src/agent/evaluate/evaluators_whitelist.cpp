#include <string>

#include "base/text_limit.h"
#include "evaluate/evaluators_value.h"
#include "evaluate/evaluators_walk.h"
#include "whitelist/outbound_whitelist.h"
#include "whitelist/system_whitelist.h"

namespace kz::evaluate {

namespace {

constexpr TextLimit kWhitelistInstanceLimit{2048};

// Whether one alternative finds the client whitelisted; each list is asked only until
// one of them holds the address.
bool alternativeWhitelists(char mode, std::string_view account, std::string_view clientIp) {
    if (mode != '1' && mode != '2') return false;
    if (whitelist::IsWhitelisted(clientIp)) return true;
    if (mode == '1') {
        if (whitelist::IsOutboundWhiteListed(clientIp, "", "")) return true;
        return !account.empty() && whitelist::IsOutboundWhiteListed(clientIp, account, "");
    }
    return whitelist::IsOutboundWhiteListed(clientIp, account, "");
}

}  // namespace

void EvaluateWhitelist(Evaluation& evaluation, std::string_view account,
                       std::string_view clientIp) {
    constexpr CriterionType kind = IPADDRESS_WHITELISTED;
    if (clientIp.empty()) return;
    bool whitelisted = false;
    ForEachEnabledInstance(
        evaluation, kind, [&](const CriterionSlot& slot, MatchResultBlock& block, int instance) {
            const std::string data = slot.instanceData(instance, kWhitelistInstanceLimit);
            ForEachAlternative(data, kWhitelistInstanceLimit, [&](const std::string& alternative) {
                if (!whitelisted && !alternative.empty())
                    whitelisted = alternativeWhitelists(alternative.front(), account, clientIp);
                if (!whitelisted) return;
                block.hitCount[kind] += 1;
                block.matchText[kind].clear();
                block.instanceValue[kind][std::size_t(instance)] = "1";
            });
        });
}

}  // namespace kz::evaluate
