#include "message/envelope_address.h"

#include "base/text_limit.h"

namespace kz {

namespace {

constexpr TextLimit kAddressBufferLimit{1024};

}  // namespace

EnvelopeValue SplitEnvelopeValue(std::string_view value) {
    EnvelopeValue split;
    const std::size_t colon = value.find(':');
    if (colon == std::string_view::npos) {
        split.afterType = value;
        return split;
    }
    split.typed = true;
    split.afterType = value.substr(colon + 1);
    split.close = split.afterType.find(']');
    split.bracketBeforeType = value.substr(0, colon).find(']') != std::string_view::npos;
    return split;
}

void ExtractEnvelopeAddress(std::string_view text, std::string& destination,
                            TextLimit destinationLimit) {
    const EnvelopeValue split = SplitEnvelopeValue(text);
    if (!split.typed || split.close == std::string_view::npos || split.bracketBeforeType) return;
    std::string_view address = kAddressBufferLimit.cut(split.afterType.substr(0, split.close));
    destination.assign(destinationLimit.cut(address));
}

bool AddressFromEnvelopeValue(std::string_view value, std::string& out, TextLimit outLimit) {
    const EnvelopeValue split = SplitEnvelopeValue(value);
    if (!split.typed) {
        outLimit.assign(out, value);
        return false;
    }
    if (split.close == std::string_view::npos) {
        outLimit.assign(out, value.substr(value.find(':')));  // colon included
        return false;
    }
    outLimit.assign(out, split.afterType.substr(0, split.close));
    return true;
}

bool AddressAfterType(std::string_view value, std::string& out, TextLimit outLimit) {
    const EnvelopeValue split = SplitEnvelopeValue(value);
    std::string_view address = split.afterType;
    // Only the envelope's closing bracket goes; a value without one keeps its address whole.
    if (split.typed && !address.empty() && address.back() == ']') address.remove_suffix(1);
    outLimit.assign(out, address);
    return split.typed;
}

std::string_view AddressLessLastCharacter(std::string_view value) {
    const EnvelopeValue split = SplitEnvelopeValue(value);
    std::string_view address = split.afterType;
    // A value that ends at its colon has no bracket to drop.
    if (split.typed && !address.empty()) address.remove_suffix(1);
    return address;
}

}  // namespace kz
