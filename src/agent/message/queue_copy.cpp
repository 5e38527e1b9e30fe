#include "config/directories.h"
#include "log/debug_log.h"
#include "message/queue_operations.h"
#include "message/queue_paths.h"
#include "platform/files.h"

namespace kz {

namespace {

bool copyLogged(const std::string& from, const std::string& to) {
    if (platform::copyFile(from, to)) return true;
    log::DebugLogf("Unable to copy %s to %s\n", from.c_str(), to.c_str());
    return false;
}

// Copies the queued files into the quarantine or bad-mail directory.
bool copyToHolding(const MessageContext& context, std::string config::Directories::*directory) {
    auto dirs = config::CurrentDirectories();
    auto queued = InboundQueuePaths(dirs->connectorRoot, context.connectorName, context.messageId);
    auto held = HoldingQueuePaths((*dirs).*directory, context.messageId);
    if (!queued || !held) return false;
    if (!copyLogged(queued->commandFile, held->commandFile)) return false;
    if (!EnsureMessagesFolder(held->messagesFolder)) {
        log::DebugLogf("Unable to create %s\n", held->messagesFolder.c_str());
        return false;
    }
    return copyLogged(queued->messageFile, held->messageFile);
}

}  // namespace

bool CopyToQuarantine(const MessageContext& context) {
    return copyToHolding(context, &config::Directories::quarantine);
}

bool CopyToBadMail(const MessageContext& context) {
    return copyToHolding(context, &config::Directories::badMail);
}

}  // namespace kz
