#pragma once
// Runs the milter stopped waiting for (--timeout). The run goes on and its actions take
// effect (forwards, notifications, quarantine copies); asking the client to try again
// and filtering the retry anew would repeat them. So the transaction's fingerprint is
// kept: a retry that comes while the run still goes is deferred without a new run, and
// one that comes after it ended gets that run's decision.

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "milter_decision.h"
#include "milter_spool.h"

namespace kz::tool {

// What identifies a retry of a transaction: its envelope, its headers but the Received
// lines the MTA adds on each attempt, and its body's digest.
std::string TransactionFingerprint(const MilterTransaction& transaction,
                                   std::string_view bodyDigest);

class AbandonedRuns {
  public:
    using Clock = std::chrono::steady_clock;
    // `folder` keeps the new bodies of finished runs until their retry takes them.
    explicit AbandonedRuns(std::string folder, std::size_t capacity = 1000,
                           Clock::duration lifetime = std::chrono::hours(24));

    // Before the run starts (it may be abandoned and end at once); forget() when it was not.
    void started(const std::string& fingerprint);
    void forget(const std::string& fingerprint);
    // The run's decision; a new body is taken over from `bodyFile` (from `bodyOffset`).
    // Without a decision (the queue could not be read) the retry runs again.
    void finished(const std::string& fingerprint, const std::optional<MilterDecision>& decision,
                  const std::string& bodyFile, std::uint64_t bodyOffset);

    struct Outcome {
        bool running = false;
        MilterDecision decision;
        std::string bodyFile;  // the new body when decision.bodyChanged; the caller removes it
    };
    // The run of an earlier attempt, taken once when it has finished.
    std::optional<Outcome> take(const std::string& fingerprint);

  private:
    struct Entry {
        Clock::time_point at;
        Outcome outcome;
    };
    void expire(Clock::time_point now);

    std::string folder_;
    std::size_t capacity_;
    Clock::duration lifetime_;
    std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

}  // namespace kz::tool
