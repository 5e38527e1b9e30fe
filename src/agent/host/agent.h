#pragma once
// Everything the agent keeps for the life of the process, owned in one place: created
// at attach, released at detach. Each part is a type of the folder that uses it; the
// Agent installs the parts for its lifetime, so code far from here reaches the one of
// the attached process (Installed<T>::current()) and a test makes its own Agent.

#include <optional>

#include "base/installed.h"
#include "config/settings.h"
#include "host/filter_init.h"
#include "host/run_control.h"
#include "message/loop_seal.h"

namespace kz::host {

class Agent {
  public:
    Agent();
    ~Agent();
    Agent(const Agent&) = delete;
    Agent& operator=(const Agent&) = delete;

    // Attach: the logs, the settings, the DNS library, the directories, the sweep of a
    // crash's leftovers, the loop seal, the filter table and the providers.
    void attach();
    // Detach: what attach started, let go; the logs last.
    void detach();

    RunControl& runControl() { return runControl_; }
    AntivirusPlugins& antivirusPlugins() { return antivirusPlugins_; }

  private:
    config::ProcessSettings settings_;
    Installed<config::ProcessSettings> installedSettings_{settings_};

    RunControl runControl_;
    // Seals the messages the agent queues and recognises them; installed as the
    // current seal from attach to detach.
    std::optional<LoopSeal> loopSeal_;
    AntivirusPlugins antivirusPlugins_;
    bool attached_ = false;
};

}  // namespace kz::host
