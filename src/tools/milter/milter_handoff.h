#pragma once
// New messages the agent's actions queued in the milter's spool (forwards, notifications)
// go to the MTA with their own envelopes and then leave the spool. Only the agent's own
// messages are handed on; one the MTA refuses is offered again less and less often, and
// goes to the Bad Mail Directory once it has been refused for too long.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "milter_seals.h"
#include "milter_spool.h"
#include "milter_submit.h"

namespace kz::tool {

struct HandOffCount {
    std::size_t handedOn = 0;
    std::size_t failed = 0;     // kept in the spool for a later pass
    std::size_t toBadMail = 0;  // refused for longer than the expiry
};

// Moves a queued message's two files: out of a queue aside the command file first, into a
// queue the message file first, so the queue never holds a command file without its
// message. Nothing moves when either cannot.
enum class Into { Queue, Aside };
bool MoveQueued(const std::string& commandFrom, const std::string& messageFrom,
                const std::string& commandTo, const std::string& messageTo, Into into);

struct HandOffPolicy {
    bool remembersSeals = false;  // the messages come back through the milter
    std::chrono::seconds expiry = std::chrono::hours(24);
    std::string badMail;  // the Bad Mail Directory
    std::chrono::seconds firstRetry{30}, longestRetry = std::chrono::hours(1);
};

class NewMessageHandOff {
  public:
    NewMessageHandOff(const MilterSpool& spool, const MessageSubmitter& submitter,
                      HandedOnSeals& seals, HandOffPolicy policy)
        : spool_(spool), submitter_(submitter), seals_(seals), policy_(std::move(policy)) {}

    // Every complete message of the agent's in Inbound and Outgoing that is not one of
    // the milter's transactions and whose retry is due. One pass at a time, so no message
    // is handed on twice; a call during another's pass returns at once and has that pass
    // look again, so a slow MTA holds up one transaction, not all of them.
    HandOffCount handOnQueued();

    // A thread of its own that makes a pass when woken, and every `retry` for what the MTA
    // did not take; stop() makes a last pass and ends it. The milter's callbacks only
    // wake it: an MTA that is slow to take a message, or that passes it back through the
    // milter first, holds up no transaction.
    void start(std::chrono::seconds retry);
    // What a crash left on its way to the MTA goes back into the queue.
    void restoreSending();
    void wake();
    void stop();
    ~NewMessageHandOff() { stop(); }

  private:
    enum class Step { HandedOn, NotReady, Failed, ToBadMail };
    Step handOn(const std::string& folder, const std::string& messagesFolder,
                const std::string& name);
    bool refusedTooLong(const std::string& commandFile) const;
    bool moveToBadMail(const std::string& commandFile, const std::string& messageFile,
                       const std::string& name, const std::string& why);
    void pass(HandOffCount& count);

    const MilterSpool& spool_;
    const MessageSubmitter& submitter_;
    HandedOnSeals& seals_;
    HandOffPolicy policy_;

    std::mutex mutex_;  // one pass at a time; guards what follows
    std::atomic<bool> again_{false};
    struct Retry {
        std::chrono::steady_clock::time_point due;
        std::chrono::seconds wait;
    };
    std::map<std::string, Retry> retries_;
    std::set<std::string> notOurs_;  // reported once

    std::thread worker_;
    std::mutex wakeMutex_;
    std::condition_variable wakeCv_;
    bool woken_ = false, stopping_ = false;
};

}  // namespace kz::tool
