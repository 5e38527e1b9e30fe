#include "query_names.h"

#include <arpa/inet.h>
#include <libpsl.h>

#include <memory>

#include "provider_support/text_split.h"
#include "zone_list.h"

namespace kz::windns {

using providers::ToLowerAscii;

namespace {

struct PslFree {
    void operator()(psl_ctx_t* context) const { psl_free(context); }
};

// The newest of the list built into libpsl and the one the system keeps up to date;
// read once, then only read from, which libpsl allows from any thread.
const psl_ctx_t* suffixList() {
    static const std::unique_ptr<psl_ctx_t, PslFree> list([] {
        psl_ctx_t* latest = psl_latest(nullptr);
        return latest ? latest : const_cast<psl_ctx_t*>(psl_builtin());
    }());
    return list.get();
}

bool isIpv4(const std::string& text) {
    in_addr address{};
    return inet_pton(AF_INET, text.c_str(), &address) == 1;
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
    const psl_ctx_t* list = suffixList();
    if (!list) return std::nullopt;
    const char* domain = psl_registrable_domain(list, hostName.c_str());
    if (!domain) return std::nullopt;
    return std::string(domain);
}

std::optional<std::string> ReversedAddress(std::string_view address) {
    const std::string text(address);
    in_addr parsed{};
    if (inet_pton(AF_INET, text.c_str(), &parsed) != 1) return std::nullopt;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&parsed.s_addr);
    return std::to_string(bytes[3]) + "." + std::to_string(bytes[2]) + "." +
           std::to_string(bytes[1]) + "." + std::to_string(bytes[0]);
}

std::optional<std::string> QueryName(std::string_view subject, std::string_view zone) {
    std::string name(subject);
    name.append(".").append(zone);
    if (!IsDnsName(name)) return std::nullopt;
    return name;
}

}  // namespace kz::windns
