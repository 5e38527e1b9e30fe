#pragma once
// Start and stop of the logging: the log lock, the daily report log and the counters.

namespace kz::log {

// Attach, before the other settings are read: reads the Activity Log Directory,
// creates the log lock, opens the report log when file logging is on, and starts the
// in-memory counters at 0.
void StartLogging();
// Detach: the End line, the file closed, the log lock let go.
void StopLogging();

}  // namespace kz::log
