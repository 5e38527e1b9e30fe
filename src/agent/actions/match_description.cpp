#include "actions/match_description.h"

#include "base/format.h"
#include "filters/criterion_type.h"
#include "message/envelope_address.h"

namespace kz::actions {

namespace {

constexpr TextLimit kSenderAddressLimit{2048};

}  // namespace

std::string BuildMatchDescription(const MessageContext& context, std::string_view criterionName,
                                  const filters::MatchResultBlock& block) {
    std::string sender;
    AddressFromEnvelopeValue(context.sender, sender, kSenderAddressLimit);
    std::string text = formatBounded(kMatchDescriptionLimit,
                                     "<MSG>%s</MSG><CON>%s</CON><ACCOUNT>%s</ACCOUNT><SENDER>%s</"
                                     "SENDER><IP>%s</IP><CRITERIA>%s</CRITERIA>",
                                     context.messageId.c_str(), context.connectorName.c_str(),
                                     context.account.c_str(), sender.c_str(),
                                     context.clientIp.c_str(), std::string(criterionName).c_str());
    // Match texts that do not fit are skipped; later, shorter ones may still fit.
    for (int kind = 0; kind < filters::kCriterionCount; ++kind) {
        const std::string& match = block.matchText[std::size_t(kind)];
        if (!match.empty() && text.size() + match.size() < kMatchDescriptionLimit.bufferSize)
            text += match;
    }
    return text;
}

}  // namespace kz::actions
