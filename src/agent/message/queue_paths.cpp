#include "message/queue_paths.h"

#include <initializer_list>

#include "base/path_split.h"
#include "config/paths.h"
#include "log/debug_log.h"
#include "message/queue_names.h"
#include "platform/files.h"
#include "platform/owner_only.h"

namespace kz {

namespace {

constexpr std::string_view kMessagesFolder = "Messages";

// A path cut to its field would name another file; it is refused instead.
bool fitsQueuePath(std::string_view path) {
    if (kQueuePathLimit.fits(path)) return true;
    log::DebugLogf("Refused the queue path %.200s...: longer than %u characters\n",
                   std::string(path).c_str(), unsigned(kQueuePathLimit.maxLength()));
    return false;
}

// Refuses a name that could leave its folder, and names under a directory not set.
bool acceptableNames(std::string_view directory, std::initializer_list<std::string_view> names) {
    if (directory.empty()) return false;
    for (std::string_view name : names) {
        if (IsSafeQueueName(name)) continue;
        log::DebugLogf("Refused the queue name '%s'\n", std::string(name).c_str());
        return false;
    }
    return true;
}

// Static TLS, as the script budget: the agent is unloaded at run time.
thread_local QueuePathsMemo* tMemo __attribute__((tls_model("initial-exec"))) = nullptr;

}  // namespace

QueuePathsMemo::QueuePathsMemo() : outer_(tMemo) {
    tMemo = this;
}

QueuePathsMemo::~QueuePathsMemo() {
    tMemo = outer_;
}

std::optional<InboundPaths> InboundQueuePaths(std::string_view connectorRoot,
                                              std::string_view connector,
                                              std::string_view messageId) {
    QueuePathsMemo* memo = tMemo;
    if (memo && memo->entry_ && memo->entry_->connectorRoot == connectorRoot &&
        memo->entry_->connector == connector && memo->entry_->messageId == messageId) {
        return memo->entry_->paths;
    }
    if (!acceptableNames(connectorRoot, {connector, messageId})) return std::nullopt;
    std::string command = config::QueueCommandFile(connectorRoot, connector, messageId);
    std::string message = config::QueueMessageFile(connectorRoot, connector, messageId);
    // The working copy's name is one character longer than the message file's.
    if (!fitsQueuePath(command) || !fitsQueuePath(message + "_")) return std::nullopt;

    InboundPaths paths;
    paths.commandFile = platform::resolvePath(command);
    paths.messageFile = platform::resolvePath(message);
    paths.messagesFolder = splitAtLastSeparator(paths.messageFile).parent;
    paths.workingCopy = platform::joinPath(paths.messagesFolder, "_" + std::string(messageId));
    if (memo) {
        memo->entry_ = QueuePathsMemo::Entry{std::string(connectorRoot), std::string(connector),
                                             std::string(messageId), paths};
    }
    return paths;
}

std::optional<HoldingPaths> HoldingQueuePaths(std::string_view directory,
                                              std::string_view messageId) {
    if (!acceptableNames(directory, {messageId})) return std::nullopt;
    std::string command = platform::joinPath(directory, messageId);
    std::string folder = platform::joinPath(directory, kMessagesFolder);
    std::string message = platform::joinPath(folder, messageId);
    if (!fitsQueuePath(message)) return std::nullopt;

    HoldingPaths paths;
    paths.commandFile = platform::resolvePath(command);
    paths.messagesFolder = platform::resolvePath(folder);
    paths.messageFile = platform::joinPath(paths.messagesFolder, messageId);
    paths.messageFile = platform::resolvePath(paths.messageFile);
    return paths;
}

bool EnsureMessagesFolder(const std::string& messagesFolder) {
    return platform::isDirectory(messagesFolder) || platform::createDirectory(messagesFolder);
}

bool EnsureHeldMessagesFolder(const std::string& messagesFolder) {
    return platform::isDirectory(messagesFolder) ||
           platform::createDirectoryOwnerOnly(messagesFolder);
}

}  // namespace kz
