#pragma once
// The services a test starts (spamd, clamd, dnsmasq): a process with its output in a log
// file, stopped by its process id; a free port for it, and a bounded wait.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace kz::test {

class Daemon {
  public:
    Daemon() = default;
    ~Daemon() { stop(); }
    Daemon(const Daemon&) = delete;
    Daemon& operator=(const Daemon&) = delete;

    // Starts argv; true once `ready` holds within `seconds`, false when it ended before.
    bool start(const std::vector<std::string>& argv, const std::string& logFile,
               const std::function<bool()>& ready, int seconds);
    // SIGTERM, then SIGKILL when it has not ended within ten seconds.
    void stop();

  private:
    int pid_ = -1;
};

// Polls the condition every 20 ms until it holds or the bound passes.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds bound = std::chrono::seconds(20));
// A free TCP port on 127.0.0.1.
int FreeLoopbackPort();

}  // namespace kz::test
