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

// While one lives, InboundQueuePaths on its thread looks the files of a message up on
// disk once and then answers from memory: one filter run resolves its message's paths
// once, however many steps ask for them. Only one run's message is kept.
class QueuePathsMemo {
  public:
    QueuePathsMemo();
    ~QueuePathsMemo();
    QueuePathsMemo(const QueuePathsMemo&) = delete;
    QueuePathsMemo& operator=(const QueuePathsMemo&) = delete;

    struct Entry {
        std::string connectorRoot, connector, messageId;
        InboundPaths paths;
    };

  private:
    QueuePathsMemo* outer_;
    std::optional<Entry> entry_;
    friend std::optional<InboundPaths> InboundQueuePaths(std::string_view, std::string_view,
                                                         std::string_view);
};

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
// The same for the Messages folder of held mail (quarantine, bad mail): a new one is its
// owner's alone.
bool EnsureHeldMessagesFolder(const std::string& messagesFolder);

}  // namespace kz
