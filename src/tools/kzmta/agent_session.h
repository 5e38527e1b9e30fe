#pragma once
// The agent's process-wide state (an Agent that is never attached) set up inside the
// tool, for the commands that look at the configuration the way the agent does:
// settings, directories and the filter table. The agent's code reads the registry through a private
// copy of the registry file, so whatever it would write there (counters, the reload flag) never
// reaches the real one.

#include <memory>
#include <optional>
#include <string>

#include "filters/filter_table.h"
#include "message/loop_seal.h"

namespace kz::host {
class Agent;
}

namespace kz::tool {

class AgentSession {
  public:
    // Throws when the registry file cannot be read.
    explicit AgentSession(const std::string& registryPath);
    ~AgentSession();
    AgentSession(const AgentSession&) = delete;
    AgentSession& operator=(const AgentSession&) = delete;

    // The scanning providers, as the agent loads them at attach.
    void loadProviders();
    // FILTER.TAB and its criteria files, as the agent loads them at attach.
    const filters::FilterTable& loadTable();
    const filters::FilterTable& table() const { return table_; }
    // The Configuration Directory as the agent uses it.
    std::string configurationDirectory() const;
    // A private Connector Root Directory, made on first use and removed with the session,
    // for messages that come from files: the agent's code finds their queue files there.
    const std::string& privateQueueRoot();

  private:
    std::string registryCopy_;
    // The state the agent's code reads, for as long as the session lasts.
    std::unique_ptr<host::Agent> agent_;
    // The installation's seal, so the scan tells the agent's own messages as a run does.
    std::optional<LoopSeal> loopSeal_;
    filters::FilterTable table_;
    bool providersLoaded_ = false;
    std::string privateQueueRoot_;
};

}  // namespace kz::tool
