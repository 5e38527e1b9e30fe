#pragma once
// New messages the agent's actions queued (forwards, notifications) go to the MTA with
// their own envelopes and then leave the spool.

#include <atomic>
#include <cstddef>
#include <mutex>

#include "milter_seals.h"
#include "milter_spool.h"
#include "milter_submit.h"

namespace kz::tool {

struct HandOffCount {
    std::size_t handedOn = 0;
    std::size_t failed = 0;  // kept in the spool for the next pass
};

class NewMessageHandOff {
  public:
    NewMessageHandOff(const MilterSpool& spool, const MessageSubmitter& submitter,
                      HandedOnSeals& seals)
        : spool_(spool), submitter_(submitter), seals_(seals) {}

    // Every complete message in Inbound and Outgoing that is not one of the milter's own
    // transactions. One pass at a time, so no message is handed on twice; a call during
    // another's pass returns at once and has that pass look again, so a slow MTA holds up
    // one transaction, not all of them.
    HandOffCount handOnQueued();

  private:
    enum class Step { HandedOn, NotReady, Failed };
    Step handOn(const std::string& folder, const std::string& messagesFolder,
                const std::string& name);

    const MilterSpool& spool_;
    const MessageSubmitter& submitter_;
    HandedOnSeals& seals_;
    void pass(HandOffCount& count);

    std::mutex mutex_;
    std::atomic<bool> again_{false};
};

}  // namespace kz::tool
