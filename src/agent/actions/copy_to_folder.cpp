#include "actions/copy_to_folder.h"

#include <optional>
#include <string>

#include "actions/message_source.h"
#include "actions/public_folder.h"
#include "base/text_limit.h"
#include "config/directories.h"
#include "config/paths.h"
#include "config/settings.h"
#include "log/debug_log.h"
#include "message/queue_operations.h"
#include "platform/files.h"
#include "store/folder_flags.h"

namespace kz::actions {

namespace {

constexpr TextLimit kPathLimit{1024};

bool HasParentStep(std::string_view name) {
    return name.find("..") != std::string_view::npos;
}

// The folder directory for the name, or empty when the message may not go there.
std::optional<std::string> FolderDirectory(const MessageContext& context, std::string_view folder) {
    if (!config::IsPlainName(context.account)) return std::nullopt;
    std::string root = config::PostOfficeRoot(context.account);
    if (config::MailRootDirectory().empty()) return std::nullopt;
    std::optional<std::string> rest = PublicFolderRest(folder);
    if (rest && config::PublicFoldersEnabled() &&
        PublicFolderModificationPermitted(context.account, context.user)) {
        return platform::joinPath(platform::joinPath(root, "PUBROOT"),
                                  platform::toNativeSeparators(*rest));
    }
    if (!config::IsPlainName(context.user)) return std::nullopt;
    return platform::joinPath(
        platform::joinPath(platform::joinPath(root, "MAILROOT"), context.user),
        platform::toNativeSeparators(folder));
}

}  // namespace

bool CopyToMailboxFolder(const MessageContext& context, std::string_view folderIn) {
    std::string_view folder = kFolderNameLimit.cut(folderIn);
    if (HasParentStep(folder)) return false;
    if (!folder.empty() && (folder.front() == '\\' || folder.front() == '/'))
        folder.remove_prefix(1);
    if (folder.empty()) return false;
    std::optional<std::string> source = DispositionMessageFile(context);
    if (!source) return false;
    std::optional<std::string> directory = FolderDirectory(context, folder);
    if (!directory || !kPathLimit.fits(*directory)) return false;
    std::string resolved = platform::resolvePath(*directory);
    store::CreateStoreFolder(resolved);
    std::string target = platform::joinPath(resolved, context.messageId);
    if (!kPathLimit.fits(target) || !platform::copyFile(*source, target)) {
        log::DebugLogf("Unable to file message %s in the folder %s\n", context.messageId.c_str(),
                       resolved.c_str());
        return false;
    }
    store::MarkFolderChanged(context.account, context.user, folder, "ADD", context.messageId);
    return true;
}

bool MoveToMailboxFolder(const MessageContext& context, std::string_view folder) {
    bool copied = CopyToMailboxFolder(context, folder);
    if (copied) DeleteQueuedMessage(context);
    return copied;
}

}  // namespace kz::actions
