#include "message/queue_new_message.h"

#include "log/debug_log.h"
#include "message/envelope.h"
#include "message/queue_paths.h"
#include "platform/files.h"

namespace kz {

bool QueueNewMessage(std::string_view connectorRoot, std::string_view connector,
                     std::string_view messageId, std::string_view messageText,
                     const MessageEnvelope& envelope, const QueueStepHook& hook) {
    auto paths = InboundQueuePaths(connectorRoot, connector, messageId);
    if (!paths) return false;
    if (!EnsureMessagesFolder(paths->messagesFolder)) {
        log::DebugLogf("Unable to create %s\n", paths->messagesFolder.c_str());
        return false;
    }
    if (!PublishFile(paths->messageFile, platform::temporaryNameFor(paths->messageFile),
                     messageText, hook))
        return false;
    if (WriteCommandFile(paths->commandFile, envelope, {}, hook)) return true;
    platform::removeFile(paths->messageFile);
    return false;
}

}  // namespace kz
