#include "actions/message_source.h"

#include "config/directories.h"
#include "message/queue_paths.h"
#include "platform/files.h"

namespace kz::actions {

std::optional<std::string> DispositionMessageFile(const MessageContext& context) {
    std::string root = config::CurrentDirectories()->connectorRoot;
    // Also checks the names: nothing below may leave the connector's folders.
    std::optional<InboundPaths> inbound =
        InboundQueuePaths(root, context.connectorName, context.messageId);
    if (!inbound) return std::nullopt;
    std::string outgoing = platform::resolvePath(platform::joinPath(
        platform::joinPath(platform::joinPath(root, context.connectorName), "Outgoing/Messages"),
        context.messageId));
    if (platform::fileStatus(outgoing) == platform::FileStatus::Ok &&
        !platform::isDirectory(outgoing))
        return outgoing;
    if (platform::fileStatus(inbound->messageFile) == platform::FileStatus::Ok)
        return inbound->messageFile;
    return std::nullopt;
}

}  // namespace kz::actions
