#pragma once
// The library's own settings under
// SOFTWARE\Kaztrel\Kaztrel\Agents\MTA\Filters\MTAFILTER\DNS Blacklists:
// "Domain Zones" and "Address Zones" (zone lists, default none) and "Timeout" (DWORD
// milliseconds, default 2000).

#include <chrono>
#include <string_view>

#include "zone_list.h"

namespace kz::windns {

constexpr std::string_view kBlacklistsSubkey = "DNS Blacklists";
constexpr std::chrono::milliseconds kDefaultTimeout{2000};
// A lookup holds one of the MTA's queue threads: never longer than this.
constexpr std::chrono::milliseconds kLongestTimeout{30000};

struct BlacklistSettings {
    ZoneList domainZones;
    ZoneList addressZones;
    std::chrono::milliseconds timeout = kDefaultTimeout;
};

// From the registry file the environment names now; a timeout of 0 is the default.
BlacklistSettings ReadBlacklistSettings();

}  // namespace kz::windns
