#pragma once
// The diagnostic line writer every part of the agent calls.

#include <string_view>

namespace kz::log {

// Writes one line through the route chosen by "Activity Log Enabled" (read per call).
// The caller ends the text with "\n"; the writer adds the time stamp.
void DebugLog(std::string_view text);
void DebugLogf(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kz::log
