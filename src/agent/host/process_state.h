#pragma once
// Everything the agent keeps for the life of the process, owned in one place: created
// at attach, destroyed at detach.

#include <memory>
#include <mutex>
#include <vector>

#include "host/run_control.h"
#include "platform/dynlib.h"

namespace kz::host {

struct ProcessState {
    ProcessState();

    RunControl runControl;

    // Antivirus plug-ins loaded by FilterInit; the last one is the AntivirusPlugin.
    std::mutex pluginMutex;
    std::vector<std::unique_ptr<platform::DynamicLibrary>> antivirusPlugins;
};

// The state of the attached process, or null before attach and after detach.
ProcessState* CurrentProcessState();

void OnProcessAttach();
void OnProcessDetach();

}  // namespace kz::host
