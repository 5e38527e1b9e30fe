#pragma once
// Where the files of a queued message lie: the command file in the connector's Inbound
// folder, the message file of the same name in its Messages folder. Folder names are
// matched without regard to case, so "Messages" and "MESSAGES" name one folder; a
// missing Messages folder is spelled "Messages".

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/text_limit.h"

namespace kz {

// A path is formed into 1,024 characters; a longer one would name another file.
inline constexpr TextLimit kQueuePathLimit{1024};

struct InboundPaths {
    std::string commandFile;
    std::string messagesFolder;
    std::string messageFile;
    std::string workingCopy;  // "_" and the identifier, in the Messages folder
};

// The paths of one message, spelled as they exist on disk. Empty when the root is
// empty, a name is unsafe or a path would be too long.
std::optional<InboundPaths> InboundQueuePaths(std::string_view connectorRoot,
                                              std::string_view connector,
                                              std::string_view messageId);

// The copies of a message in the quarantine or bad-mail directory.
struct HoldingPaths {
    std::string commandFile;     // <directory>/<id>
    std::string messagesFolder;  // <directory>/Messages
    std::string messageFile;     // <directory>/Messages/<id>
};

std::optional<HoldingPaths> HoldingQueuePaths(std::string_view directory,
                                              std::string_view messageId);

// Creates the Messages folder when it is missing; true when it exists afterwards.
bool EnsureMessagesFolder(const std::string& messagesFolder);

}  // namespace kz
