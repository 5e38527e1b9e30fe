#include "store/folder_flags.h"

#include <string>

#include "base/format.h"
#include "base/path_split.h"
#include "base/text_limit.h"
#include "config/paths.h"
#include "log/trace.h"
#include "platform/files.h"

namespace kz::store {

namespace {

constexpr TextLimit kPathLimit{2048};
constexpr std::string_view kStoreRoots[] = {"/MAILROOT/", "/PUBROOT/", "/FILEROOT/"};

// Flags are signals only: a flag that cannot be written is not reported.
void WriteFlag(const std::string& directory, std::string_view flagName) {
    std::string dir = platform::resolvePath(directory);
    if (!platform::isDirectory(dir)) return;
    platform::writeFileAtomic(platform::joinPath(dir, flagName), kFlagText);
}

}  // namespace

bool CreateStoreFolder(std::string_view pathIn) {
    std::string path = platform::toNativeSeparators(pathIn);
    bool created = platform::createDirectory(path);
    bool underStoreRoot = false;
    for (std::string_view root : kStoreRoots)
        underStoreRoot = underStoreRoot || path.find(root) != std::string::npos;
    if (!underStoreRoot) return created;
    PathSplit split = splitAtLastSeparator(kPathLimit.cut(path));
    if (split.hasSeparator) WriteFlag(std::string(split.parent), "_FOLDER.DTY");
    return created;
}

void MarkFolderChanged(std::string_view postOffice, std::string_view mailbox,
                       std::string_view folder, std::string_view /*operation*/,
                       std::string_view /*messageId*/) {
    std::string root(kPathLimit.cut(config::PostOfficeRoot(postOffice)));
    std::string mailboxDir = platform::joinPath(platform::joinPath(root, "MAILROOT"), mailbox);
    std::string folderDir = platform::joinPath(mailboxDir, platform::toNativeSeparators(folder));
    if (folderDir.size() + 12 < kPathLimit.bufferSize) WriteFlag(folderDir, "_CHANGE.DTY");
    log::Trace("Folder=%s::Folder Made Dirty to notify clients\n", std::string(folder).c_str());
}

}  // namespace kz::store
