#include "evaluate/evaluators_sender.h"

#include "base/ascii.h"
#include "base/text_limit.h"
#include "filters/result_tokens.h"
#include "message/envelope_address.h"

namespace kz::evaluate {

namespace {

constexpr TextLimit kSenderAddressLimit{512};

}  // namespace

std::string SenderTokenAddress(const MessageContext* message) {
    if (message == nullptr) return {};
    return std::string(kSenderAddressLimit.cut(AddressLessLastCharacter(message->sender)));
}

void ReplaceSenderToken(std::string& alternative, std::string_view senderAddress,
                        TextLimit alternativeLimit) {
    filters::ReplaceToken(alternative, filters::kSenderToken, senderAddress, alternativeLimit);
}

}  // namespace kz::evaluate
