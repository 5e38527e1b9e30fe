#pragma once
// Agent runs with bounds: at most so many at one time, and a transaction waits for its
// run no longer than the timeout. A run that overstays is left to finish on its own
// thread (the agent's call cannot be interrupted) and cleans up after itself.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <semaphore>
#include <string>

#include "tools/kzmta/agent_library.h"

namespace kz::tool {

class AgentRuns {
  public:
    // Undone: the run could not do what its filters asked (a quarantine copy or a rewrite
    // failed) and the message is to be tried again later.
    enum class Result { Done, Undone, TimedOut, Busy };

    AgentRuns(const AgentLibrary& agent, unsigned concurrent, std::chrono::seconds timeout);

    // FilterExecuteChecked for the queued message; `abandoned` runs when a run that timed
    // out ends at last, told whether the run did what its filters asked.
    Result run(const std::string& message, const std::string& connector,
               std::function<void(bool done)> abandoned);
    // Waits (bounded) until no run is left; false when some still are.
    bool waitIdle(std::chrono::seconds bound);

  private:
    void finished();

    const AgentLibrary& agent_;
    std::chrono::seconds timeout_;
    std::counting_semaphore<1 << 16> slots_;
    std::mutex mutex_;
    std::condition_variable idle_;
    unsigned active_ = 0;
};

}  // namespace kz::tool
