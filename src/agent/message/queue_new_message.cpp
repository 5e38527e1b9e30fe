#include "message/queue_new_message.h"

#include <string>

#include "log/debug_log.h"
#include "message/envelope.h"
#include "message/queue_paths.h"
#include "platform/crypto.h"
#include "platform/files.h"
#include "platform/guid.h"

namespace kz {

namespace {

// Not a secret: the derivation only has to spread names as a GUID would.
constexpr std::string_view kNameKey = "new message of an action";

// Already queued by an earlier try of the same run, or handed on since: its command file
// is in Inbound, or its files are in Outgoing. Inbound first: the hand-on moves the
// command file there after the message file.
bool AlreadyQueued(std::string_view connectorRoot, std::string_view connector,
                   const InboundPaths& paths, std::string_view messageId) {
    auto present = [](const std::string& path) {
        return platform::fileStatus(path) != platform::FileStatus::NotFound;
    };
    if (present(paths.commandFile)) return true;
    std::string outgoing =
        platform::joinPath(platform::joinPath(connectorRoot, connector), "Outgoing");
    return present(platform::resolvePath(platform::joinPath(outgoing, messageId))) ||
           present(platform::resolvePath(
               platform::joinPath(platform::joinPath(outgoing, "Messages"), messageId)));
}

}  // namespace

std::string NewMessageIdFor(const MessageContext& context, std::string_view action) {
    std::string identity = context.connectorName;
    for (std::string_view part :
         {std::string_view(context.messageId), std::string_view(context.sender), action}) {
        identity += '\0';
        identity += part;
    }
    identity += '\0' + std::to_string(context.timeAcquired);
    auto digest = platform::hmacSha256(reinterpret_cast<const uint8_t*>(kNameKey.data()),
                                       kNameKey.size(), identity);
    if (!digest) return platform::newQueuedMessageId();
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string name;
    for (std::size_t i = 0; i < 16; ++i) {
        name += kHex[(*digest)[i] >> 4];
        name += kHex[(*digest)[i] & 15];
    }
    return name + ".MAI";
}

bool QueueNewMessage(std::string_view connectorRoot, std::string_view connector,
                     std::string_view messageId, std::string_view messageText,
                     const MessageEnvelope& envelope, const QueueStepHook& hook) {
    auto paths = InboundQueuePaths(connectorRoot, connector, messageId);
    if (!paths) return false;
    if (AlreadyQueued(connectorRoot, connector, *paths, messageId)) {
        log::DebugLogf("Message %s is queued already: not queued again\n",
                       std::string(messageId).c_str());
        return true;
    }
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
