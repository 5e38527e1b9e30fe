#pragma once
// A progress line on standard error while kzmta works through mail folders: messages
// done, their rate and, from the bytes read against the bytes the folders hold, the time
// left. Only on a terminal, a few times a second.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace kz::tool {

// The bytes of the files under the paths (folders searched through, hidden files and
// Maildir tmp folders left out as the folder reader leaves them).
uint64_t FolderBytes(const std::vector<std::string>& paths);

class FolderProgress {
  public:
    // Off unless wanted and standard error is a terminal; `totalBytes` 0 shows no time left.
    FolderProgress(bool wanted, uint64_t totalBytes);
    // One more message of `bytes` done.
    void advance(uint64_t bytes);
    // The last line, kept on the terminal.
    void done();

  private:
    void show(bool last);

    bool on_;
    uint64_t total_;
    uint64_t messages_ = 0;
    uint64_t bytes_ = 0;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace kz::tool
