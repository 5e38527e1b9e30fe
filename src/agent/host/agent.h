#pragma once
// Everything the agent keeps for the life of the process, owned in one place: created
// at attach, released at detach. Each part is a type of the folder that uses it; the
// Agent installs the parts for its lifetime, so code far from here reaches the one of
// the attached process (Installed<T>::current()) and a test makes its own Agent.

#include <optional>
#include <string>

#include "base/installed.h"
#include "config/directories.h"
#include "config/option_lookup.h"
#include "config/settings.h"
#include "dns/dns_library.h"
#include "host/filter_init.h"
#include "host/run_control.h"
#include "log/counters.h"
#include "log/event_report.h"
#include "message/loop_seal.h"
#include "platform/registry.h"
#include "providers/scan_providers.h"
#include "store/store_library.h"

namespace kz::host {

class Agent {
  public:
    // The registry file is KZ_REGISTRY's, or the one given.
    explicit Agent(std::string registryPath = platform::Registry::defaultPath());
    ~Agent();
    Agent(const Agent&) = delete;
    Agent& operator=(const Agent&) = delete;

    // Attach: the logs, the settings, the DNS library, the directories, the sweep of a
    // crash's leftovers, the loop seal, the filter table and the providers.
    void attach();
    // Detach: what attach started, let go; the logs last.
    void detach();
    // Detach at process exit: the report log's End line only. Providers are neither
    // called nor unloaded, since their own objects may be destroyed already.
    void detachAtExit();

    RunControl& runControl() { return runControl_; }
    AntivirusPlugins& antivirusPlugins() { return antivirusPlugins_; }

  private:
    InstalledObject<platform::Registry> registry_;
    InstalledObject<config::ProcessSettings> settings_;
    InstalledObject<config::PublishedDirectories> directories_;
    InstalledObject<config::OptionProviderSlot> optionProvider_;
    InstalledObject<log::Counters> counters_;
    InstalledObject<log::EventThrottle> eventThrottle_;
    InstalledObject<dns::DnsLibrary> dnsLibrary_;
    InstalledObject<store::StoreLibrary> storeLibrary_;
    InstalledObject<providers::ScanProviders> providers_;

    RunControl runControl_;
    // Seals the messages the agent queues and recognises them; installed as the
    // current seal from attach to detach.
    std::optional<LoopSeal> loopSeal_;
    AntivirusPlugins antivirusPlugins_;
    bool attached_ = false;
};

}  // namespace kz::host
