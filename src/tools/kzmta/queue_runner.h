#pragma once
// The MTA's side of filtering: every queued message of every connector's Inbound folder
// goes through the agent on a pool of queue threads, and what the agent leaves in
// Inbound is handed on to Outgoing.

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "agent_library.h"

namespace kz::tool {

struct RunSummary {
    std::size_t filtered = 0;
    std::size_t deleted = 0;          // gone from the queue after the run
    std::size_t handedOn = 0;         // moved to Outgoing
    std::size_t queuedByActions = 0;  // messages that appeared during the run
};

// What became of one message.
enum class Outcome { Deleted, HandedOn, Kept };

class QueueRunner {
  public:
    QueueRunner(const AgentLibrary& agent, std::string connectorRoot, unsigned threads);

    // Filters what is queued, then what the runs queued, until nothing new is left.
    void drain();
    const RunSummary& summary() const { return summary_; }
    // Connector Inbound folders and their Messages folders, for the watch mode.
    std::vector<std::string> watchedFolders() const;
    // Called after each message (from worker threads, serialised).
    std::function<void(const std::string& connector, const std::string& message, Outcome)>
        onMessage;

  private:
    using Item = std::pair<std::string, std::string>;  // connector, message
    std::vector<Item> newItems();
    void filterBatch(const std::vector<Item>& batch);
    Outcome handOn(const Item& item);
    void record(const Item& item, Outcome outcome, bool filtered);

    const AgentLibrary& agent_;
    std::string root_;
    unsigned threads_;
    std::set<Item> seen_;  // filtered and still in Inbound
    std::mutex summaryMutex_;
    RunSummary summary_;
};

}  // namespace kz::tool
