#pragma once
// The process around the milter protocol: the service manager is told when the milter
// is ready, that it is alive (its watchdog) and when it reloads; SIGHUP asks the agent
// to reload its filters and never stops the milter.
//
// libmilter stops on SIGHUP as on SIGTERM, through a thread of its own that waits for
// both. The protocol therefore runs on a second thread, and the main thread is the only
// one that takes SIGHUP (a handler, never blocked there), which the kernel prefers for a
// signal sent to the process. SIGTERM and SIGINT stay blocked everywhere but in
// libmilter's waiting thread, and stop the milter as before.

#include <cstdio>
#include <functional>
#include <string>

namespace kz::tool {

class MilterDaemon {
  public:
    // Blocks the stop signals and SIGHUP for every thread started after it (agent runs,
    // the hand-off, libmilter's own), and takes SIGHUP on this one. Call it before any
    // thread starts.
    explicit MilterDaemon(std::FILE* console);
    ~MilterDaemon();
    MilterDaemon(const MilterDaemon&) = delete;
    MilterDaemon& operator=(const MilterDaemon&) = delete;

    // Runs `serve` (the protocol's loop, which returns once SIGTERM or SIGINT stopped it)
    // on its own thread after telling the service manager it is ready; until it returns,
    // calls `reload` for each SIGHUP and keeps the watchdog fed. Returns serve's status.
    int run(const std::function<int()>& serve, const std::function<bool(std::string&)>& reload);

  private:
    void wake(char why);
    std::FILE* console_;
    int pipe_[2] = {-1, -1};
};

}  // namespace kz::tool
