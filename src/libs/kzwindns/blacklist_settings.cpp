#include "blacklist_settings.h"

#include <algorithm>

#include "platform/registry.h"

namespace kz::windns {

namespace {

std::string readText(const platform::Registry& registry, std::string_view name) {
    auto value = registry.query(kBlacklistsKey, name);
    return value ? value->asString() : std::string();
}

}  // namespace

BlacklistSettings ReadBlacklistSettings(const platform::Registry& registry) {
    BlacklistSettings settings;
    settings.domainZones = ParseZoneList(readText(registry, "Domain Zones"));
    settings.addressZones = ParseZoneList(readText(registry, "Address Zones"));
    auto timeout = registry.query(kBlacklistsKey, "Timeout");
    std::optional<uint32_t> ms = timeout ? timeout->asDword() : std::nullopt;
    if (ms && *ms > 0) settings.timeout = std::min(std::chrono::milliseconds(*ms), kLongestTimeout);
    return settings;
}

}  // namespace kz::windns
