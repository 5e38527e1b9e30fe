#pragma once
// The agent writes trace lines straight to standard output. Commands that print their
// own report (explain, inspect, check-config) divert them while the agent's code runs,
// so that their output stays clean (--json above all).

namespace kz::tool {

class AgentTraceDiversion {
  public:
    // toStandardError: the trace lines go to standard error; otherwise they are dropped.
    explicit AgentTraceDiversion(bool toStandardError);
    ~AgentTraceDiversion();  // standard output is restored
    AgentTraceDiversion(const AgentTraceDiversion&) = delete;
    AgentTraceDiversion& operator=(const AgentTraceDiversion&) = delete;

  private:
    int saved_ = -1;
};

}  // namespace kz::tool
