#include "evaluate/scan_prologue.h"

#include <algorithm>
#include <limits>

#include "config/directories.h"
#include "evaluate/dkim_verdict.h"
#include "evaluate/evaluators_providers.h"
#include "evaluate/evaluators_value.h"
#include "message/queue_paths.h"
#include "platform/files.h"

namespace kz::evaluate {

uint32_t GetMessageFileSize(std::string_view path) {
    if (path.empty()) return 0;
    const platform::FileSize found = platform::fileSize(path);
    if (found.status != platform::FileStatus::Ok) return 0;
    // A size past the 32-bit range reads as the largest one, never as its low bits.
    return uint32_t(std::min<uint64_t>(found.size, std::numeric_limits<uint32_t>::max()));
}

std::string MessageFilePath(const MessageContext& context) {
    const auto directories = config::CurrentDirectories();
    const auto paths =
        InboundQueuePaths(directories->connectorRoot, context.connectorName, context.messageId);
    return paths ? paths->messageFile : std::string();
}

std::string RunScanPrologue(Evaluation& evaluation) {
    const MessageContext& message = *evaluation.message();
    // A held message is read from its text: no queue file is looked for.
    std::string path = message.heldText ? std::string() : MessageFilePath(message);
    const uint32_t size = message.heldText
                              ? uint32_t(std::min<uint64_t>(message.heldText->size(),
                                                            std::numeric_limits<uint32_t>::max()))
                              : GetMessageFileSize(path);
    EvaluateSize(evaluation, size);
    EvaluateSpamProbability(evaluation);
    EvaluateSpamAssassin(evaluation);
    EvaluateDkim(evaluation);
    EvaluateVirus(evaluation);
    return path;
}

}  // namespace kz::evaluate
