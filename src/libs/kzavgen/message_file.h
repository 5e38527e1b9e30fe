#pragma once
// Where a queued message lies: "<Connector Root Directory>/<connector>/Inbound/Messages/<id>".

#include <optional>
#include <string>
#include <string_view>

namespace kz::providers {

// The path of the message file, or nothing for a name that would leave its folder
// (empty, ".", "..", or holding a path separator) or without a connector root.
std::optional<std::string> InboundMessageFile(std::string_view connector,
                                              std::string_view messageId);

}  // namespace kz::providers
