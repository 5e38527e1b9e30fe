#include "message/queue_publish.h"

#include "log/debug_log.h"
#include "platform/files.h"

namespace kz {

bool QueueStepAllowed(const QueueStepHook& hook, std::string_view step) {
    return !hook || hook(step);
}

bool PublishFile(std::string_view target, std::string_view temporary, std::string_view content,
                 const QueueStepHook& hook) {
    // The temporary name is the run's own and no reader looks at it: it is written in
    // place. Only the final name needs to survive a power loss: one folder flush, after it.
    if (!QueueStepAllowed(hook, kStepWriteTemporary) ||
        !platform::writeFileFlushed(temporary, content, target)) {
        log::DebugLogf("Unable to write %s\n", std::string(temporary).c_str());
        return false;
    }
    if (QueueStepAllowed(hook, kStepReplaceTarget) && platform::renameFile(temporary, target)) {
        // The file is on disk already; its new name is once the folder is flushed.
        if (!platform::flushFolderOf(target))
            log::DebugLogf("Unable to flush the folder of %s\n", std::string(target).c_str());
        return true;
    }
    log::DebugLogf("Unable to replace %s\n", std::string(target).c_str());
    platform::removeFile(temporary);
    return false;
}

}  // namespace kz
