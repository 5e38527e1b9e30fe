#include "message/message_header.h"

#include "config/directories.h"
#include "message/message_header_text.h"
#include "message/queue_paths.h"
#include "platform/files.h"

namespace kz {

bool SetMessageHeader(const MessageContext& context, std::string_view name, std::string_view value,
                      HeaderMode mode, const QueueStepHook& hook) {
    if (name.empty()) return false;
    auto dirs = config::CurrentDirectories();
    auto paths = InboundQueuePaths(dirs->connectorRoot, context.connectorName, context.messageId);
    if (!paths) return false;
    std::optional<std::string> message = platform::readFile(paths->messageFile);
    if (!message) return false;

    SetHeaderInPlace(*message, name, FormatHeaderLine(name, value), mode);
    return PublishFile(paths->messageFile, paths->workingCopy, *message, hook);
}

}  // namespace kz
