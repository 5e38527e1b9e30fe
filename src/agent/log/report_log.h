#pragma once
// The daily report log file and the log lock "KZAVFLTDebugLog" that serialises its
// writers across threads and processes.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kz::log {

constexpr std::string_view kLogLockName = "KZAVFLTDebugLog";
constexpr std::chrono::milliseconds kLogLockBound{5000};

// Attach: remembers the Activity Log Directory, creates the log lock and, when file
// logging is on, opens today's file (header and Start line).
void OpenReportLogAtAttach(std::string directory);
// Detach: the End line when file logging is on, then the file and the lock are let go.
void CloseReportLogAtDetach();

// One line in file mode: the stamped line goes into the open file, then a change of
// day closes it and opens the new day's file. A line that cannot take the lock within
// its bound is dropped; before attach and after detach every line is dropped.
void WriteReportLine(std::string_view stamp, std::string_view text);
// Several lines of one moment, kept together under one take of the lock.
void WriteReportLines(std::string_view stamp, const std::vector<std::string>& texts);

// What a library that writes into the same daily file is handed: the current file
// name (a buffer of kSharedNameSize bytes), the open file and the log lock. On this
// platform the file and the lock are opaque to the library, which logs through the
// callback it is given; all three are null outside attach..detach.
constexpr std::size_t kSharedNameSize = 128;
struct SharedLogHandles {
    char* fileName = nullptr;
    void* stream = nullptr;
    void* lock = nullptr;
};
SharedLogHandles SharedLogHandlesForLibraries();

}  // namespace kz::log
