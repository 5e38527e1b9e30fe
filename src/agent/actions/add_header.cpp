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
    if (!edits.text(paths->messageFile)) return false;
    SetHeaderInPlace(edits.change(paths->messageFile, paths->workingCopy), name,
                     FormatHeaderLine(name, value), HeaderMode::ReplaceOrAdd);
    return true;
}

}  // namespace kz::actions
