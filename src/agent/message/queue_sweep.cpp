#include "message/queue_sweep.h"

#include <optional>

#include "log/debug_log.h"
#include "message/queue_paths.h"
#include "platform/files.h"
#include "platform/owner_only.h"

namespace kz {

namespace {

using platform::joinPath;
using platform::resolvePath;

// Mail store folders nest; deeper ones are not looked into.
constexpr int kMaxStoreDepth = 16;

class Sweep {
  public:
    Sweep(const SweepFolders& folders, std::chrono::seconds minimumAge)
        : folders_(folders), cutoff_(std::chrono::system_clock::now() - minimumAge) {}

    SweepReport run() {
        if (!folders_.connectorRoot.empty()) {
            for (const std::string& connector :
                 platform::listSubdirectories(folders_.connectorRoot))
                sweepConnector(joinPath(folders_.connectorRoot, connector));
        }
        for (const std::string* holding : {&folders_.badMail, &folders_.quarantine}) {
            if (holding->empty()) continue;
            removeTemporaries(*holding);
            removeTemporaries(resolvePath(joinPath(*holding, "Messages")));
        }
        if (!folders_.mailRoot.empty()) sweepStoreFolder(folders_.mailRoot, 0);
        return report_;
    }

  private:
    bool oldEnough(const std::string& path) const {
        auto version = platform::fileVersion(path);
        return version && version->modified <= cutoff_;
    }

    void removeTemporaries(const std::string& folder) {
        for (const std::string& name : platform::listDirectory(folder)) {
            std::string path = joinPath(folder, name);
            if (!platform::isTemporaryName(name) || !oldEnough(path)) continue;
            if (!platform::removeFile(path)) continue;
            log::DebugLogf("Removed the abandoned temporary file %s\n", path.c_str());
            ++report_.temporariesRemoved;
        }
    }

    void sweepStoreFolder(const std::string& folder, int depth) {
        removeTemporaries(folder);
        if (depth >= kMaxStoreDepth) return;
        for (const std::string& sub : platform::listSubdirectories(folder))
            sweepStoreFolder(joinPath(folder, sub), depth + 1);
    }

    void sweepConnector(const std::string& connectorDir) {
        std::string inbound = resolvePath(joinPath(connectorDir, "Inbound"));
        std::string messages = resolvePath(joinPath(inbound, "Messages"));
        std::string outgoing = resolvePath(joinPath(connectorDir, "Outgoing"));
        for (const std::string& folder :
             {inbound, messages, outgoing, resolvePath(joinPath(outgoing, "Messages"))})
            removeTemporaries(folder);
        for (const std::string& name : platform::listDirectory(messages)) {
            std::string path = joinPath(messages, name);
            // Hidden names (temporaries among them) are no queued message's.
            if (name[0] == '.' || platform::isDirectory(path)) continue;
            // A message file with its command file is queued, however old.
            if (platform::fileStatus(resolvePath(joinPath(inbound, name))) !=
                platform::FileStatus::NotFound)
                continue;
            if (!oldEnough(path)) continue;
            // Otherwise a new message whose command file was never written, or a message
            // whose DELETE was cut short after its command file went: nothing reads either.
            if (name.size() > 1 && name[0] == '_') {
                sweepWorkingCopy(messages, name);
            } else {
                moveToBadMail(path, name);
            }
        }
    }

    // A rewrite renames its working copy over the message; one still there was cut short.
    void sweepWorkingCopy(const std::string& messages, const std::string& name) {
        std::string path = joinPath(messages, name);
        if (platform::fileStatus(resolvePath(joinPath(messages, name.substr(1)))) !=
            platform::FileStatus::Ok) {
            moveToBadMail(path, name);  // the message itself is gone: keep what is left of it
            return;
        }
        if (!platform::removeFile(path)) return;
        log::DebugLogf("Removed the abandoned working copy %s\n", path.c_str());
        ++report_.workingCopiesRemoved;
    }

    void moveToBadMail(const std::string& path, const std::string& name) {
        std::optional<HoldingPaths> held = HoldingQueuePaths(folders_.badMail, name);
        if (!held || !EnsureHeldMessagesFolder(held->messagesFolder)) {
            log::DebugLogf("Unable to move the orphaned message file %s to bad mail\n",
                           path.c_str());
            return;
        }
        if (platform::fileStatus(held->messageFile) != platform::FileStatus::NotFound) {
            log::DebugLogf("Left the orphaned message file %s: %s exists\n", path.c_str(),
                           held->messageFile.c_str());
            return;
        }
        // Across file systems a rename fails; the copy appears whole before the original goes.
        bool moved =
            platform::restrictToOwner(path) && platform::renameFile(path, held->messageFile);
        if (moved) {
            platform::flushFolder(held->messagesFolder);
        } else {
            moved =
                platform::copyFileOwnerOnly(path, held->messageFile) && platform::removeFile(path);
        }
        if (!moved) {
            log::DebugLogf("Unable to move the orphaned message file %s to %s\n", path.c_str(),
                           held->messageFile.c_str());
            return;
        }
        log::DebugLogf("Moved the orphaned message file %s to %s\n", path.c_str(),
                       held->messageFile.c_str());
        ++report_.messagesMovedToBadMail;
    }

    const SweepFolders& folders_;
    std::chrono::system_clock::time_point cutoff_;
    SweepReport report_;
};

}  // namespace

SweepReport SweepQueueLeftovers(const SweepFolders& folders, std::chrono::seconds minimumAge) {
    return Sweep(folders, minimumAge).run();
}

}  // namespace kz
