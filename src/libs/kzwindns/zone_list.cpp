#include "zone_list.h"

#include <algorithm>
#include <array>

#include "platform/ip_address.h"
#include "provider_support/text_split.h"

namespace kz::windns {

using providers::SplitItems;
using providers::ToLowerAscii;
using providers::Trim;

namespace {

struct KnownCodes {
    std::string_view zone;
    std::string_view codes;
};

// Answers these lists document as "your query was blocked", not as a listing.
constexpr std::array<KnownCodes, 3> kKnownCodes{{
    {"multi.uribl.com", "127.0.0.1"},
    {"multi.surbl.org", "127.0.0.1"},
    {"dbl.spamhaus.org", "127.0.1.255"},
}};

bool parseAddress(std::string_view text, uint32_t& out) {
    const std::optional<uint32_t> address = platform::parseIPv4(text);
    if (address) out = *address;
    return address.has_value();
}

bool parseCodes(std::string_view text, std::vector<uint32_t>& codes) {
    for (std::string_view item : SplitItems(text, " \t")) {
        uint32_t code = 0;
        if (!parseAddress(item, code)) return false;
        codes.push_back(code);
    }
    return true;
}

}  // namespace

bool IsDnsName(std::string_view name) {
    if (name.empty() || name.size() > 253) return false;
    std::size_t label = 0;
    for (char c : name) {
        if (c == '.') {
            if (label == 0) return false;
            label = 0;
            continue;
        }
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                             (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!allowed || ++label > 63) return false;
    }
    return label > 0;
}

ZoneList ParseZoneList(std::string_view text) {
    ZoneList list;
    for (std::string_view item : SplitItems(text, ",")) {
        const std::size_t equals = item.find('=');
        Zone zone;
        zone.name = ToLowerAscii(Trim(item.substr(0, equals)));
        if (!zone.name.empty() && zone.name.back() == '.') zone.name.pop_back();
        const bool codesOk = equals == std::string_view::npos ||
                             parseCodes(item.substr(equals + 1), zone.errorCodes);
        if (!IsDnsName(zone.name) || !codesOk) {
            list.rejected.emplace_back(item);
            continue;
        }
        for (const KnownCodes& known : kKnownCodes) {
            if (known.zone == zone.name) parseCodes(known.codes, zone.errorCodes);
        }
        list.zones.push_back(std::move(zone));
    }
    return list;
}

}  // namespace kz::windns
