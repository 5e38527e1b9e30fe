#include "whitelist/envelope_address.h"

#include "base/bounded_text.h"

namespace kz::whitelist {

int AddressFromEnvelopeValue(std::string_view value, std::string& out, std::size_t outSize) {
    std::size_t colon = value.find(':');
    if (colon == std::string_view::npos) {
        assignCut(out, value, outSize);
        return 0;
    }
    // A "]" ahead of the type's colon closes nothing.
    std::size_t close = value.find(']', colon);
    if (close == std::string_view::npos) {
        assignCut(out, value.substr(colon), outSize);
        return 0;
    }
    assignCut(out, value.substr(colon + 1, close - colon - 1), outSize);
    return 1;
}

int AddressAfterType(std::string_view value, std::string& out, std::size_t outSize) {
    std::size_t colon = value.find(':');
    if (colon == std::string_view::npos) {
        assignCut(out, value, outSize);
        return 0;
    }
    std::string_view address = value.substr(colon + 1);
    // Only the envelope's closing bracket goes; a value without one keeps its address whole.
    if (!address.empty() && address.back() == ']') address.remove_suffix(1);
    assignCut(out, address, outSize);
    return 1;
}

}  // namespace kz::whitelist
