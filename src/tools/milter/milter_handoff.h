#pragma once
// New messages the agent's actions queued (forwards, notifications) go to the MTA with
// their own envelopes and then leave the spool.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

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

    // A thread of its own that makes a pass when woken, and every `retry` for what the MTA
    // did not take; stop() makes a last pass and ends it. The milter's callbacks only
    // wake it: an MTA that is slow to take a message, or that passes it back through the
    // milter first, holds up no transaction.
    void start(std::chrono::seconds retry);
    void wake();
    void stop();
    ~NewMessageHandOff() { stop(); }

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

    std::thread worker_;
    std::mutex wakeMutex_;
    std::condition_variable wakeCv_;
    bool woken_ = false, stopping_ = false;
};

}  // namespace kz::tool
