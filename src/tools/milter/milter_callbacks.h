#pragma once
// The milter protocol side: libmilter's callbacks gather one SMTP transaction, spool it
// as it arrives, hand it to the agent, and give its decision back to the MTA.

#include <atomic>
#include <cstddef>
#include <cstdio>

#include "milter_abandoned.h"
#include "milter_agent_runs.h"
#include "milter_handoff.h"
#include "milter_options.h"
#include "milter_seals.h"
#include "milter_spool.h"

namespace kz::tool {

// Bytes of mail held in memory by all connections together, against one bound.
class HeldBytes {
  public:
    explicit HeldBytes(std::size_t limit) : limit_(limit) {}
    // False (nothing taken) when the bytes would go over the bound.
    bool take(std::size_t bytes) {
        std::size_t now = held_.load();
        do {
            if (bytes > limit_ - now) return false;
        } while (!held_.compare_exchange_weak(now, now + bytes));
        return true;
    }
    void give(std::size_t bytes) { held_ -= bytes; }
    std::size_t held() const { return held_; }

  private:
    std::size_t limit_;
    std::atomic<std::size_t> held_{0};
};

// Everything the callbacks share; immutable but for the parts that lock themselves.
struct MilterService {
    const MilterOptions& options;
    MilterSpool& spool;
    AgentRuns& runs;
    NewMessageHandOff& handOff;
    HandedOnSeals& seals;
    AbandonedRuns& abandoned;
    HeldBytes& memory;
    std::string reportLogDirectory;  // the agent's Activity Log Directory
    std::FILE* console;  // what the milter reports; the agent's trace lines go elsewhere
};

// Registers the callbacks and opens the socket; false (with the reason on standard error)
// when it cannot.
bool OpenMilterSocket(MilterService& service);
// Serves the opened socket until SIGTERM or SIGINT; returns the process exit status.
int ServeMilter();

}  // namespace kz::tool
