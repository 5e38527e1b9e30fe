#include "config/directories.h"
#include "config/paths.h"
#include "message/envelope.h"
#include "platform/files.h"

namespace kz {

// Until the command-file reader arrives, a message counts as readable when its command
// file exists; the envelope fields stay empty.
bool ReadEnvelope(MessageContext& context) {
    auto dirs = config::CurrentDirectories();
    std::string path = config::QueueCommandFile(dirs->ConnectorRoot, context.ConnectorName, context.MessageId);
    return platform::readFile(platform::resolvePath(path)).has_value();
}

}  // namespace kz
