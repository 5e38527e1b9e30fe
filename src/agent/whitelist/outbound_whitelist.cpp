#include "whitelist/outbound_whitelist.h"

#include <algorithm>
#include <memory>

#include "base/text_limit.h"
#include "config/directories.h"
#include "config/settings.h"
#include "platform/files.h"

namespace kz::whitelist {

namespace {

constexpr TextLimit kKeyLimit{66};
constexpr TextLimit kKeyPartLimit{20};  // per dotted part
constexpr std::ptrdiff_t kDottedParts = 4;

// A name that stays one path component: a post office, a mailbox or a key.
bool isPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string_view::npos;
}

// The first `wanted` parts of a four-part dotted address; empty for any other shape.
std::string dottedPrefix(std::string_view address, uint32_t wanted) {
    if (std::count(address.begin(), address.end(), '.') != kDottedParts - 1) return {};
    std::string key;
    for (uint32_t i = 0; i < std::min<uint32_t>(wanted, kDottedParts); ++i) {
        std::size_t dot = address.find('.');
        if (i > 0) key += '.';
        key += kKeyPartLimit.cut(address.substr(0, dot));
        address.remove_prefix(dot == std::string_view::npos ? address.size() : dot + 1);
    }
    return key;
}

}  // namespace

std::string OutboundWhitelistKey(std::string_view clientAddress, uint32_t mode) {
    std::string key =
        mode == 0 ? std::string(kKeyLimit.cut(clientAddress)) : dottedPrefix(clientAddress, mode);
    std::replace(key.begin(), key.end(), ':', '-');
    return key;
}

std::string OutboundMarkerPath(std::string_view configuration, std::string_view postOffice,
                               std::string_view mailbox, std::string_view key) {
    if (!isPlainName(key)) return {};
    std::string path(configuration);
    if (!postOffice.empty()) {
        if (!isPlainName(postOffice)) return {};
        path = platform::joinPath(platform::joinPath(path, "Postoffices"), postOffice);
        if (!mailbox.empty()) {
            if (!isPlainName(mailbox)) return {};
            path = platform::joinPath(platform::joinPath(path, "Mailboxes"), mailbox);
        }
    }
    path = platform::joinPath(path, "Connections/Whitelist");
    return platform::joinPath(path, std::string(key) + ".tab");
}

bool IsOutboundWhiteListed(std::string_view clientAddress, std::string_view postOffice,
                           std::string_view mailbox) {
    if (config::WhitelistOutboundIPAddresses() == 0 || clientAddress.empty()) return false;
    std::string key = OutboundWhitelistKey(clientAddress, config::WhitelistOutboundIPAddressMode());
    // Without the directory the path would name a file relative to wherever the MTA runs.
    std::shared_ptr<const config::Directories> dirs = config::CurrentDirectories();
    if (dirs->whitelistConfiguration.empty()) return false;
    std::string path = OutboundMarkerPath(dirs->whitelistConfiguration, postOffice, mailbox, key);
    if (path.empty()) return false;
    return platform::fileStatus(platform::resolvePath(path)) != platform::FileStatus::NotFound;
}

}  // namespace kz::whitelist
