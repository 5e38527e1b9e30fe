#pragma once
// Waiting for new files in directories (for the MTA stand-in's watch mode), and the
// stop signals that end such a wait.

#include <chrono>
#include <memory>
#include <string_view>
#include <vector>

namespace kz::platform {

class DirectoryWatch {
  public:
    DirectoryWatch();
    ~DirectoryWatch();
    DirectoryWatch(const DirectoryWatch&) = delete;
    DirectoryWatch& operator=(const DirectoryWatch&) = delete;

    // Watches for files created in or moved into dir. False when it cannot be watched.
    bool add(std::string_view dir);
    // True when something changed within the bound (events are consumed).
    bool wait(std::chrono::milliseconds bound);

  private:
#ifdef _WIN32
    std::vector<void*> handles_;  // one change notification per folder
#else
    int fd_ = -1;
#endif
};

// SIGINT and SIGTERM set a flag instead of ending the process.
void installStopSignals();
bool stopRequested();

}  // namespace kz::platform
