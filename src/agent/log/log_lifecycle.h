#pragma once
// Start and stop of the logging: the log lock and the daily report log.

namespace kz::log {

// Attach, before the other settings are read: reads the Activity Log Directory,
// creates the log lock and opens the report log when file logging is on.
void StartLogging();
// Detach: the End line, the file closed, the log lock let go.
void StopLogging();

}  // namespace kz::log
