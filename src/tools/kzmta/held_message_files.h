#pragma once
// The scanning providers read a message from its file in the connector's queue. A
// message the tool holds in memory gets such a file, in a private queue of the session,
// while it is evaluated and only when a provider is loaded: otherwise nothing is written.

#include <string>

#include "agent_session.h"
#include "message/message_context.h"

namespace kz::tool {

// The session's private queue when a scanning provider is loaded, else empty.
std::string HeldFilesRoot(AgentSession& session);

class HeldMessageFiles {
  public:
    // Sets the context's heldText to `queued` and names the message; `sequence` keeps the
    // names of messages evaluated at the same time apart. With a queue root (see
    // HeldFilesRoot) the files are written there until the object goes.
    HeldMessageFiles(const std::string& queueRoot, MessageContext& context,
                     const std::string& queued, unsigned long sequence = 0);
    ~HeldMessageFiles();
    HeldMessageFiles(const HeldMessageFiles&) = delete;
    HeldMessageFiles& operator=(const HeldMessageFiles&) = delete;

  private:
    std::string messageFile_;
    std::string commandFile_;
};

}  // namespace kz::tool
