#pragma once
// The library's settings: "Required Domains" (domains that always sign, separated by
// commas) and "Timeout" (DWORD milliseconds for all key lookups of one message, default
// 2000) under SOFTWARE\Kaztrel\Kaztrel\Agents\MTA\Filters\MTAFILTER\DKIM, and the SMTP
// connector's "Local DNS Server List" (empty: the system's resolver).

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "provider_support/server_list.h"

namespace kz::dkim {

constexpr std::chrono::milliseconds kDefaultTimeout{2000};
// A verification holds one of the MTA's queue threads: never longer than this.
constexpr std::chrono::milliseconds kLongestTimeout{30000};

struct DkimSettings {
    std::vector<std::string> requiredDomains;  // lower case
    std::chrono::milliseconds timeout = kDefaultTimeout;
    std::vector<providers::DnsServer> servers;

    bool alwaysSigns(std::string_view domain) const;
};

// Read on every call, so a changed setting counts from the next message on.
DkimSettings ReadDkimSettings();

}  // namespace kz::dkim
