#include "message/envelope_address.h"

#include "base/bounded_text.h"

namespace kz {

namespace {

constexpr std::size_t kAddressBufferSize = 1024;

}  // namespace

void ExtractEnvelopeAddress(std::string_view text, std::string& destination,
                            std::size_t destinationSize) {
    std::size_t colon = text.find(':');
    std::size_t bracket = text.find(']');
    if (colon == std::string_view::npos || bracket == std::string_view::npos || bracket < colon)
        return;
    std::string_view address =
        cutToBuffer(text.substr(colon + 1, bracket - colon - 1), kAddressBufferSize);
    destination.assign(cutToBuffer(address, destinationSize));
}

void AppendEnvelopeRecipient(std::string& recipients, std::string_view address) {
    if (!recipients.empty()) recipients += ';';
    if (address.find('[') != std::string_view::npos) {
        recipients.append(address);
        return;
    }
    recipients.append("[SMTP:").append(address).append("]");
}

}  // namespace kz
