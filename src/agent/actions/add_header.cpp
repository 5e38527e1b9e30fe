#include "actions/add_header.h"

#include <optional>
#include <string>

#include "config/directories.h"
#include "message/message_header_text.h"
#include "message/queue_paths.h"

namespace kz::actions {

bool AddHeaderLine(MessageEdits& edits, const MessageContext& context, std::string_view name,
                   std::string_view value) {
    if (name.empty()) return false;
    auto dirs = config::CurrentDirectories();
    std::optional<InboundPaths> paths =
        InboundQueuePaths(dirs->connectorRoot, context.connectorName, context.messageId);
    if (!paths) return false;
    const std::string* message = edits.text(paths->messageFile);
    if (!message) return false;
    edits.replace(
        paths->messageFile,
        SetHeaderInText(*message, name, FormatHeaderLine(name, value), HeaderMode::ReplaceOrAdd),
        paths->workingCopy);
    return true;
}

}  // namespace kz::actions
