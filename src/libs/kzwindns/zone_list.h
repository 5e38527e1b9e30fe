#pragma once
// The blacklist zones an administrator lists: "zone[=code code ...]" items separated by
// commas. The codes are the zone's own answers in 127.0.0.0/8 that mean "query refused"
// rather than "listed"; a few well-known zones have theirs built in.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kz::windns {

struct Zone {
    std::string name;                  // lower case, without a trailing dot
    std::vector<uint32_t> errorCodes;  // IPv4 addresses in host byte order
};

struct ZoneList {
    std::vector<Zone> zones;
    std::vector<std::string> rejected;  // items that are not a usable zone
};

ZoneList ParseZoneList(std::string_view text);

// A DNS name of letters, digits, '-' and '_' labels of 1 to 63 characters.
bool IsDnsName(std::string_view name);

}  // namespace kz::windns
