#include "message_file.h"

#include "platform/files.h"
#include "provider_support/machine_registry.h"

namespace kz::providers {

namespace {

constexpr std::string_view kConnectorsKey = "SOFTWARE\\Kaztrel\\Kaztrel\\CONNECTORS";

bool plainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string_view::npos;
}

}  // namespace

std::optional<std::string> InboundMessageFile(std::string_view connector,
                                              std::string_view messageId) {
    if (!plainName(connector) || !plainName(messageId)) return std::nullopt;
    auto root = MachineRegistry()->query(kConnectorsKey, "Connector Root Directory");
    if (!root || root->asString().empty()) return std::nullopt;
    std::string path =
        platform::joinPath(platform::toNativeSeparators(root->asString()), connector);
    path = platform::joinPath(platform::joinPath(platform::joinPath(path, "Inbound"), "Messages"),
                              messageId);
    return platform::resolvePath(path);
}

}  // namespace kz::providers
