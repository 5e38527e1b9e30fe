#include "evaluate/evaluators_sender.h"

#include "base/ascii.h"
#include "base/bounded_text.h"
#include "filters/result_tokens.h"
#include "message/envelope_address.h"

namespace kz::evaluate {

namespace {

constexpr std::string_view kSenderToken = "[KZ_SENDER]";
constexpr std::size_t kSenderAddressSize = 512;  // at most 511 characters

}  // namespace

bool UsesSenderToken(std::string_view instanceData) {
    return findIgnoreCase(instanceData, kSenderToken) != std::string_view::npos;
}

std::string SenderTokenAddress(const MessageContext* message) {
    if (message == nullptr) return {};
    return std::string(cutToBuffer(AddressLessLastCharacter(message->sender), kSenderAddressSize));
}

void ReplaceSenderToken(std::string& alternative, std::string_view senderAddress,
                        std::size_t alternativeSize) {
    filters::ReplaceToken(alternative, kSenderToken, senderAddress, alternativeSize);
}

}  // namespace kz::evaluate
