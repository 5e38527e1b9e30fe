#include "log/report_log.h"

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>

#include "base/ascii.h"
#include "base/text_limit.h"
#include "config/settings.h"
#include "log/lasting.h"
#include "log/log_clock.h"
#include "log/report_lines.h"
#include "log/report_retention.h"
#include "platform/append_file.h"
#include "platform/files.h"
#include "platform/named_lock.h"

namespace kz::log {

namespace {

// Process-wide, created at attach and let go at detach. The named lock orders the
// writers of all processes; `mutex` guards these fields within the process and is
// always taken after the named lock. `lock` changes under both mutexes; a line reads it
// under `lockMutex` alone, so it does not wait there for another thread's write.
struct ReportLogState {
    std::mutex mutex;
    std::mutex lockMutex;
    std::shared_ptr<platform::NamedLock> lock;  // null outside attach..detach
    std::string directory;
    std::string currentName;
    platform::AppendFile file;
    std::array<char, kSharedNameSize> sharedName{};  // currentName for other libraries
};

ReportLogState& state() {
    return Lasting<ReportLogState>();
}

bool fileLoggingOn() {
    return config::ActivityLogEnabled() == 1;
}

std::shared_ptr<platform::NamedLock> currentLock() {
    std::lock_guard hold(state().lockMutex);
    return state().lock;
}

void setLock(ReportLogState& s, std::shared_ptr<platform::NamedLock> lock) {
    std::lock_guard hold(s.lockMutex);
    s.lock = std::move(lock);
}

void copyToSharedName(ReportLogState& s) {
    std::string_view name = TextLimit{s.sharedName.size()}.cut(s.currentName);
    std::fill(s.sharedName.begin(), s.sharedName.end(), '\0');
    std::copy(name.begin(), name.end(), s.sharedName.begin());
}

// The name is taken even when the open fails, so a failed open is not tried again
// until the day changes. Without a directory no file is opened at all, rather than
// one at the root of the file system.
void openLocked(ReportLogState& s, platform::TimePoint now) {
    if (!fileLoggingOn()) return;
    s.currentName = ReportFileName(now);
    copyToSharedName(s);
    if (s.directory.empty()) return;
    std::string path = platform::resolvePath(platform::joinPath(s.directory, s.currentName));
    if (!s.file.open(path)) return;
    std::string stamp = platform::logTimeStamp(now);
    std::string lines = ReportOpeningLines(stamp);
    for (const std::string& name :
         RemoveExpiredReportFiles(s.directory, s.currentName, config::ReportLogDays()))
        lines += ReportDataLine(stamp, "Removed the expired report log " + name + "\n");
    s.file.append(lines);
}

// A file left open while logging was turned off is closed without its End line.
void closeLocked(ReportLogState& s, platform::TimePoint now) {
    if (s.file.isOpen() && fileLoggingOn())
        s.file.append(ReportEndLine(platform::logTimeStamp(now)));
    s.file.close();
}

}  // namespace

void OpenReportLogAtAttach(std::string directory) {
    auto lock = std::make_shared<platform::NamedLock>(std::string(kLogLockName));
    // Another process's lines may arrive meanwhile; lines are whole either way, so a
    // lock that is not free in time only costs the ordering.
    platform::NamedLockGuard guard(*lock, kLogLockBound);
    ReportLogState& s = state();
    std::lock_guard hold(s.mutex);
    s.file.close();
    setLock(s, lock);
    s.directory = std::move(directory);
    s.currentName.clear();
    openLocked(s, LogNow());
}

void CloseReportLogAtDetach() {
    std::shared_ptr<platform::NamedLock> lock = currentLock();
    if (!lock) return;
    platform::NamedLockGuard guard(*lock, kLogLockBound);
    ReportLogState& s = state();
    std::lock_guard hold(s.mutex);
    if (s.lock != lock) return;  // a concurrent detach got here first
    closeLocked(s, LogNow());
    setLock(s, nullptr);
    // The state outlives the library; its texts must not hold heap memory then.
    std::string().swap(s.directory);
    std::string().swap(s.currentName);
    copyToSharedName(s);
}

SharedLogHandles SharedLogHandlesForLibraries() {
    ReportLogState& s = state();
    std::lock_guard hold(s.mutex);
    if (!s.lock) return {};
    return {s.sharedName.data(), &s.file, s.lock.get()};
}

namespace {

// Whole lines, written in one piece under one take of the lock.
void appendLines(const std::string& lines) {
    std::shared_ptr<platform::NamedLock> lock = currentLock();
    if (!lock) return;
    platform::NamedLockGuard guard(*lock, kLogLockBound);
    if (!guard.held()) return;
    ReportLogState& s = state();
    std::lock_guard hold(s.mutex);
    if (s.lock != lock) return;  // detached while these lines waited
    platform::TimePoint now = LogNow();
    bool newName = !equalsIgnoreCase(ReportFileName(now), s.currentName);
    // No file yet under today's name (logging just turned on, or a new day after a file
    // that could not be opened): it is opened first, so these lines are not lost.
    if (newName && !s.file.isOpen()) {
        openLocked(s, now);
        newName = false;
    }
    if (s.file.isOpen()) s.file.append(lines);
    // The line that reveals a new day has gone into the old day's file.
    if (newName) {
        closeLocked(s, now);
        openLocked(s, now);
    }
}

}  // namespace

void WriteReportLine(std::string_view stamp, std::string_view text) {
    appendLines(ReportDataLine(stamp, text));
}

void WriteReportLines(std::string_view stamp, const std::vector<std::string>& texts) {
    std::string lines;
    for (const std::string& text : texts) lines += ReportDataLine(stamp, text);
    if (!lines.empty()) appendLines(lines);
}

}  // namespace kz::log
