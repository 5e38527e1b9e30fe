#include "filters/word_file_snapshots.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "filters/config_lines.h"
#include "platform/files.h"

namespace kz::filters {

namespace {

using Clock = std::chrono::system_clock;

// A file changed this recently may change again within the same tick of its time stamp
// without showing it: such a version is never kept.
constexpr auto kSettleTime = std::chrono::seconds(2);
// More files than any configuration names: beyond it the snapshots start over.
constexpr std::size_t kMaxSnapshots = 1024;

struct Stamp {
    std::uint64_t size = 0;
    Clock::time_point modified;
    bool operator==(const Stamp&) const = default;
};

struct Snapshot {
    Stamp stamp;
    std::shared_ptr<const CompiledWordList> list;
};

std::optional<Stamp> stampOf(const std::string& path) {
    platform::FileSize size = platform::fileSize(path);
    std::optional<Clock::time_point> modified = platform::modificationTime(path);
    if (size.status != platform::FileStatus::Ok || !modified) return std::nullopt;
    return Stamp{size.size, *modified};
}

std::shared_ptr<const CompiledWordList> readWordFile(const std::string& path) {
    std::optional<std::vector<std::string>> lines = ReadWordFileLines(path);
    if (!lines) return nullptr;
    return std::make_shared<const CompiledWordList>(std::move(*lines));
}

std::mutex snapshotsMutex;
std::unordered_map<std::string, Snapshot> snapshots;

}  // namespace

std::optional<std::vector<std::string>> ReadWordFileLines(const std::string& path) {
    std::optional<std::vector<std::string>> lines = ReadConfigLines(path);
    if (!lines) return std::nullopt;
    for (std::string& line : *lines) {
        if (line.find('\n') != std::string::npos) line.pop_back();
    }
    return lines;
}

std::shared_ptr<const CompiledWordList> CurrentWordFile(const std::string& path, bool* kept) {
    if (kept) *kept = true;
    const std::optional<Stamp> before = stampOf(path);
    if (before) {
        std::lock_guard<std::mutex> lock(snapshotsMutex);
        auto it = snapshots.find(path);
        if (it != snapshots.end() && it->second.stamp == *before) return it->second.list;
    }
    std::shared_ptr<const CompiledWordList> list = readWordFile(path);
    if (!list || !before || Clock::now() - before->modified < kSettleTime) {
        if (kept) *kept = false;
        return list;
    }
    // Kept under the stamp seen before reading: a change during the read shows as a new
    // stamp next time.
    std::lock_guard<std::mutex> lock(snapshotsMutex);
    if (snapshots.size() >= kMaxSnapshots) snapshots.clear();
    snapshots[path] = Snapshot{*before, list};
    return list;
}

}  // namespace kz::filters
