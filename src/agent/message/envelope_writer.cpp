#include "config/directories.h"
#include "message/envelope.h"
#include "message/envelope_fields.h"
#include "message/envelope_text.h"
#include "message/queue_paths.h"
#include "platform/files.h"

namespace kz {

namespace {

// The lines of the message's own command file that the writer does not produce.
std::vector<std::string> linesToKeep(const MessageContext& context) {
    const CommandFileSource& source = context.commandFile;
    std::vector<std::string> kept;
    if (!source.read || source.connectorName != context.connectorName ||
        source.messageId != context.messageId)
        return kept;
    for (const std::string& line : source.lines) {
        if (!IsWrittenEnvelopeLine(line)) kept.push_back(line);
    }
    return kept;
}

}  // namespace

bool WriteCommandFile(const std::string& commandFile, const MessageEnvelope& envelope,
                      const std::vector<std::string>& keptLines, const QueueStepHook& hook) {
    return PublishFile(commandFile, platform::temporaryNameFor(commandFile),
                       FormatCommandFile(envelope, keptLines), hook);
}

bool WriteEnvelope(const MessageContext& context, const QueueStepHook& hook) {
    auto dirs = config::CurrentDirectories();
    auto paths = InboundQueuePaths(dirs->connectorRoot, context.connectorName, context.messageId);
    if (!paths) return false;
    return WriteCommandFile(paths->commandFile, context, linesToKeep(context), hook);
}

}  // namespace kz
