#include "query_names.h"

#include <algorithm>

#include "platform/ip_address.h"
#include "provider_support/text_split.h"
#include "public_suffixes.h"
#include "zone_list.h"

namespace kz::windns {

using providers::ToLowerAscii;

namespace {

bool isIpv4(const std::string& text) {
    return platform::parseIPv4(text).has_value();
}

}  // namespace

std::optional<std::string> LinkHostName(std::string_view host) {
    const std::size_t at = host.rfind('@');
    if (at != std::string_view::npos) host.remove_prefix(at + 1);
    if (!host.empty() && host.front() == '[') return std::nullopt;  // IPv6 literal
    host = host.substr(0, host.find(':'));
    host = host.substr(0, host.find_first_of("?#"));
    if (!host.empty() && host.back() == '.') host.remove_suffix(1);
    std::string name = ToLowerAscii(host);
    if (!IsDnsName(name) || isIpv4(name)) return std::nullopt;
    return name;
}

std::optional<std::string> RegisteredDomain(const std::string& hostName) {
    const std::size_t suffixLabels = PublicSuffixLabels(hostName);
    const std::size_t labels = std::size_t(std::count(hostName.begin(), hostName.end(), '.')) + 1;
    if (labels <= suffixLabels) return std::nullopt;  // a public suffix itself
    // The public suffix and one label more.
    std::size_t start = hostName.size();
    for (std::size_t i = 0; i <= suffixLabels && start != std::string::npos; ++i)
        start = hostName.rfind('.', start - 1);
    return start == std::string::npos ? hostName : hostName.substr(start + 1);
}

std::optional<std::string> ReversedAddress(std::string_view address) {
    const std::optional<uint32_t> parsed = platform::parseIPv4(address);
    if (!parsed) return std::nullopt;
    const uint32_t a = *parsed;
    return std::to_string(a & 0xFF) + "." + std::to_string((a >> 8) & 0xFF) + "." +
           std::to_string((a >> 16) & 0xFF) + "." + std::to_string(a >> 24);
}

std::optional<std::string> QueryName(std::string_view subject, std::string_view zone) {
    std::string name(subject);
    name.append(".").append(zone);
    if (!IsDnsName(name)) return std::nullopt;
    return name;
}

}  // namespace kz::windns
