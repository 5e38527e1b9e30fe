#pragma once
// The diagnostic line writer every part of the agent calls.

#include <string>
#include <string_view>
#include <vector>

namespace kz::log {

// Writes one line through the route chosen by "Activity Log Enabled" (read per call):
// 1 the daily report log file, 2 standard output (a blank, then the text), 3 the
// debugger output; any other value writes nothing. The caller ends the text with "\n";
// the file route adds the time stamp and a tab in front.
void DebugLog(std::string_view text);
// Lines written together, as DebugLog writes each: in the file they follow each other.
void DebugLogLines(const std::vector<std::string>& texts);
void DebugLogf(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kz::log
