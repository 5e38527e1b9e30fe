#include "evaluate/evaluators_sender.h"

#include "base/ascii.h"
#include "base/bounded_text.h"
#include "filters/result_tokens.h"

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
    std::string_view sender = message->Sender;
    std::size_t colon = sender.find(':');
    if (colon != std::string_view::npos) {
        sender.remove_prefix(colon + 1);
        // A value that ends at its colon has no bracket to drop.
        if (!sender.empty()) sender.remove_suffix(1);
    }
    return std::string(cutToBuffer(sender, kSenderAddressSize));
}

void ReplaceSenderToken(std::string& alternative, std::string_view senderAddress,
                        std::size_t alternativeSize) {
    filters::ReplaceToken(alternative, kSenderToken, senderAddress, alternativeSize);
}

}  // namespace kz::evaluate
