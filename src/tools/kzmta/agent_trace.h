#pragma once
// The agent writes trace lines straight to standard output. Commands that print their
// own report divert them while the agent's code runs, so that their output stays clean
// (--json above all).

#include <cstdio>

namespace kz::tool {

class AgentTraceDiversion {
  public:
    // toStandardError: the trace lines go to standard error; otherwise they are dropped.
    explicit AgentTraceDiversion(bool toStandardError);
    ~AgentTraceDiversion();  // standard output is restored
    AgentTraceDiversion(const AgentTraceDiversion&) = delete;
    AgentTraceDiversion& operator=(const AgentTraceDiversion&) = delete;

    // Standard output as it was before the diversion, for what the command prints while
    // the agent runs.
    std::FILE* console();

  private:
    int saved_ = -1;
    std::FILE* console_ = nullptr;
};

}  // namespace kz::tool
