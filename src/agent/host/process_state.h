#pragma once
// Everything the agent keeps for the life of the process, owned in one place: created
// at attach, destroyed at detach.

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "host/run_control.h"
#include "message/loop_seal.h"
#include "platform/dynlib.h"

namespace kz::host {

struct ProcessState {
    ProcessState();

    RunControl runControl;

    // Seals the messages the agent queues and recognises them; installed as the
    // current seal for the life of the state.
    std::optional<LoopSeal> loopSeal;

    // Antivirus plug-ins loaded by FilterInit; the last one is the AntivirusPlugin.
    std::mutex pluginMutex;
    std::vector<std::unique_ptr<platform::DynamicLibrary>> antivirusPlugins;
};

// The state of the attached process, or null before attach and after detach.
ProcessState* CurrentProcessState();

void OnProcessAttach();
void OnProcessDetach();

}  // namespace kz::host
