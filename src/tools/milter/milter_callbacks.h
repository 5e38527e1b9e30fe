#pragma once
// The milter protocol side: libmilter's callbacks gather one SMTP transaction, hand it
// to the agent through the spool, and give its decision back to the MTA.

#include <cstdio>

#include "milter_agent_runs.h"
#include "milter_handoff.h"
#include "milter_options.h"
#include "milter_seals.h"
#include "milter_spool.h"

namespace kz::tool {

// Everything the callbacks share; immutable but for the parts that lock themselves.
struct MilterService {
    const MilterOptions& options;
    MilterSpool& spool;
    AgentRuns& runs;
    NewMessageHandOff& handOff;
    HandedOnSeals& seals;
    std::FILE* console;  // what the milter reports; the agent's trace lines go elsewhere
};

// Registers the callbacks, opens the socket and serves until SIGINT, SIGTERM or SIGHUP.
// Returns the process exit status.
int ServeMilter(MilterService& service);

}  // namespace kz::tool
