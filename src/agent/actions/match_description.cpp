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
    std::string text;
    auto element = [&text](std::string_view tag, std::string_view value) {
        text.append("<").append(tag).append(">");
        text.append(asFormatted(value)).append("</").append(tag).append(">");
    };
    element("MSG", context.messageId);
    element("CON", context.connectorName);
    element("ACCOUNT", context.account);
    element("SENDER", sender);
    element("IP", context.clientIp);
    element("CRITERIA", criterionName);
    text.resize(kMatchDescriptionLimit.cut(text).size());
    // Match texts that do not fit are skipped; later, shorter ones may still fit.
    for (int kind = 0; kind < filters::kCriterionCount; ++kind) {
        const std::string& match = block.matchText[std::size_t(kind)];
        if (!match.empty() && text.size() + match.size() < kMatchDescriptionLimit.bufferSize)
            text += match;
    }
    return text;
}

}  // namespace kz::actions
