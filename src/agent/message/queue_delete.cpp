#include "config/directories.h"
#include "log/debug_log.h"
#include "message/queue_operations.h"
#include "message/queue_paths.h"
#include "platform/files.h"

namespace kz {

bool DeleteQueuedMessage(const MessageContext& context) {
    auto dirs = config::CurrentDirectories();
    auto paths = InboundQueuePaths(dirs->connectorRoot, context.connectorName, context.messageId);
    if (!paths) return false;
    if (!platform::removeFile(paths->commandFile)) {
        log::DebugLogf("Unable to delete %s\n", paths->commandFile.c_str());
        return false;
    }
    return platform::removeFile(paths->messageFile);
}

}  // namespace kz
