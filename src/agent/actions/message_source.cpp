#include "actions/message_source.h"

#include "config/directories.h"
#include "message/queue_paths.h"
#include "platform/files.h"

namespace kz::actions {

std::optional<std::string> DispositionMessageFile(const MessageContext& context) {
    std::string root = config::CurrentDirectories()->ConnectorRoot;
    // Also checks the names: nothing below may leave the connector's folders.
    std::optional<InboundPaths> inbound =
        InboundQueuePaths(root, context.ConnectorName, context.MessageId);
    if (!inbound) return std::nullopt;
    std::string outgoing = platform::resolvePath(platform::joinPath(
        platform::joinPath(platform::joinPath(root, context.ConnectorName), "Outgoing/Messages"),
        context.MessageId));
    if (platform::fileStatus(outgoing) == platform::FileStatus::Ok &&
        !platform::isDirectory(outgoing))
        return outgoing;
    if (platform::fileStatus(inbound->messageFile) == platform::FileStatus::Ok)
        return inbound->messageFile;
    return std::nullopt;
}

}  // namespace kz::actions
