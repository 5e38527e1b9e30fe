#include "blacklist_settings.h"

#include <algorithm>

#include "provider_support/provider_key.h"

namespace kz::windns {

BlacklistSettings ReadBlacklistSettings() {
    const providers::ProviderKey key(kBlacklistsSubkey);
    BlacklistSettings settings;
    settings.domainZones = ParseZoneList(key.text("Domain Zones", ""));
    settings.addressZones = ParseZoneList(key.text("Address Zones", ""));
    const auto timeout = key.milliseconds("Timeout", 0);
    if (timeout.count() > 0) settings.timeout = std::min(timeout, kLongestTimeout);
    return settings;
}

}  // namespace kz::windns
