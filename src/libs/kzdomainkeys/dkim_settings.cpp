#include "dkim_settings.h"

#include <algorithm>

#include "provider_support/machine_registry.h"
#include "provider_support/provider_key.h"
#include "provider_support/text_split.h"

namespace kz::dkim {

namespace {
constexpr std::string_view kSmtpConnectorKey = "SOFTWARE\\Kaztrel\\Kaztrel\\CONNECTORS\\SMTP";
}

bool DkimSettings::alwaysSigns(std::string_view domain) const {
    return std::find(requiredDomains.begin(), requiredDomains.end(), domain) !=
           requiredDomains.end();
}

DkimSettings ReadDkimSettings() {
    const providers::ProviderKey key("DKIM");
    DkimSettings settings;
    for (std::string_view item : providers::SplitItems(key.text("Required Domains", ""), ",")) {
        if (item.back() == '.') item.remove_suffix(1);
        settings.requiredDomains.push_back(providers::ToLowerAscii(item));
    }
    const auto timeout = key.milliseconds("Timeout", 0);
    if (timeout.count() > 0) settings.timeout = std::min(timeout, kLongestTimeout);
    const auto servers =
        providers::MachineRegistry()->query(kSmtpConnectorKey, "Local DNS Server List");
    if (servers) settings.servers = providers::ParseServerList(servers->asString()).servers;
    return settings;
}

}  // namespace kz::dkim
