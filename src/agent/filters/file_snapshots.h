#pragma once
// Configuration files read at every use (word files without pattern caching, action
// files) are read once per version: while a file keeps its size and modification time,
// its content is the one read before. Shared by all runs of the process.

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/files.h"

namespace kz::filters {

template <class Content>
class FileSnapshots {
  public:
    using Ref = std::shared_ptr<const Content>;

    // The content of the file at `path` as read(path) gives it now (null when it cannot
    // be read). `kept` (when given) tells whether this version is kept for the uses after,
    // or is read again by each because it changed too recently.
    template <class Read>
    Ref current(const std::string& path, Read&& read, bool* kept = nullptr) {
        if (kept) *kept = true;
        const std::optional<platform::FileVersion> before = platform::fileVersion(path);
        if (before) {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = snapshots_.find(path);
            if (it != snapshots_.end() && it->second.version == *before) return it->second.content;
        }
        Ref content = read(path);
        if (!content || !before ||
            std::chrono::system_clock::now() - before->modified < kSettleTime) {
            if (kept) *kept = false;
            return content;
        }
        // Kept under the version seen before reading: a change during the read shows as a
        // new version next time.
        std::lock_guard<std::mutex> lock(mutex_);
        if (snapshots_.size() >= kMaxSnapshots) snapshots_.clear();
        snapshots_[path] = Snapshot{*before, content};
        return content;
    }

  private:
    // A file changed this recently may change again within the same tick of its time
    // stamp without showing it: such a version is never kept.
    static constexpr auto kSettleTime = std::chrono::seconds(2);
    // More files than any configuration names: beyond it the snapshots start over.
    static constexpr std::size_t kMaxSnapshots = 1024;

    struct Snapshot {
        platform::FileVersion version;
        Ref content;
    };
    std::mutex mutex_;
    std::unordered_map<std::string, Snapshot> snapshots_;
};

}  // namespace kz::filters
