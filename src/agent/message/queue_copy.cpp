#include "config/directories.h"
#include "log/debug_log.h"
#include "message/queue_operations.h"
#include "message/queue_paths.h"
#include "platform/files.h"
#include "platform/owner_only.h"

namespace kz {

namespace {

// Held mail is for the administrator's eyes only.
bool copyLogged(const std::string& from, const std::string& to) {
    if (platform::copyFileOwnerOnly(from, to)) return true;
    log::DebugLogf("Unable to copy %s to %s\n", from.c_str(), to.c_str());
    return false;
}

// Copies the queued files into the quarantine or bad-mail directory.
bool copyToHolding(const MessageContext& context, std::string config::Directories::*directory) {
    auto dirs = config::CurrentDirectories();
    auto queued = InboundQueuePaths(dirs->connectorRoot, context.connectorName, context.messageId);
    auto held = HoldingQueuePaths((*dirs).*directory, context.messageId);
    if (!queued || !held) return false;
    if (platform::fileStatus(queued->commandFile) != platform::FileStatus::Ok) {
        log::DebugLogf("Unable to copy %s: it is gone\n", queued->commandFile.c_str());
        return false;
    }
    if (!EnsureHeldMessagesFolder(held->messagesFolder)) {
        log::DebugLogf("Unable to create %s\n", held->messagesFolder.c_str());
        return false;
    }
    // As a queue is written: the command file last, so it never names a missing message.
    if (!copyLogged(queued->messageFile, held->messageFile)) return false;
    if (copyLogged(queued->commandFile, held->commandFile)) return true;
    platform::removeFile(held->messageFile);
    return false;
}

}  // namespace

bool CopyToQuarantine(const MessageContext& context) {
    return copyToHolding(context, &config::Directories::quarantine);
}

bool CopyToBadMail(const MessageContext& context) {
    return copyToHolding(context, &config::Directories::badMail);
}

}  // namespace kz
