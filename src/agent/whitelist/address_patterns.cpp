#include "whitelist/address_patterns.h"

#include "whitelist/ipv6_address.h"

namespace kz::whitelist {

namespace {

// The part up to the next '.', removed from `text` together with that '.'; `more` tells
// whether a '.' followed.
std::string_view takePart(std::string_view& text, bool& more) {
    std::size_t dot = text.find('.');
    std::string_view part = text.substr(0, dot);
    more = dot != std::string_view::npos;
    text.remove_prefix(more ? dot + 1 : text.size());
    return part;
}

}  // namespace

bool MatchesIPv4Pattern(std::string_view pattern, std::string_view address) {
    if (address.empty()) return false;
    for (;;) {
        bool patternGoesOn = false;
        bool addressGoesOn = false;
        std::string_view want = takePart(pattern, patternGoesOn);
        std::string_view have = takePart(address, addressGoesOn);
        if (want != "*" && want != have) return false;
        if (patternGoesOn != addressGoesOn) return false;
        if (!patternGoesOn) return true;
    }
}

bool MatchesIPv6Pattern(std::string_view pattern, std::string_view address) {
    return MatchesIPv6Pattern(IPv6Address(pattern, IPv6Address::Mode::Pattern),
                              IPv6Address(address, IPv6Address::Mode::Address));
}

bool MatchesAddressPattern(std::string_view pattern, std::string_view address) {
    if (address.find(':') != std::string_view::npos) return MatchesIPv6Pattern(pattern, address);
    return MatchesIPv4Pattern(pattern, address);
}

}  // namespace kz::whitelist
