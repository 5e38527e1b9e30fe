#include "config/directories.h"
#include "message/envelope.h"
#include "message/envelope_fields.h"
#include "message/envelope_text.h"
#include "message/queue_paths.h"
#include "platform/files.h"

namespace kz {

bool ReadEnvelope(MessageContext& context) {
    static_cast<MessageEnvelope&>(context) = MessageEnvelope{};
    context.commandFile = CommandFileSource{};

    auto dirs = config::CurrentDirectories();
    auto paths = InboundQueuePaths(dirs->connectorRoot, context.connectorName, context.messageId);
    if (!paths) return false;
    std::optional<std::string> content = platform::readFile(paths->commandFile);
    if (!content) return false;

    // Whole lines: a long Recipients line read in pieces would lose recipients, and a
    // piece could pass for a key of its own.
    CommandFileSource source{true, context.connectorName, context.messageId,
                             SplitCommandFileLines(*content)};
    for (const std::string& line : source.lines) ApplyEnvelopeLine(context, line);
    context.commandFile = std::move(source);
    return true;
}

}  // namespace kz
