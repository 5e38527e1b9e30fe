#include "queue_runner.h"

#include <algorithm>
#include <thread>

#include "platform/files.h"

namespace kz::tool {

namespace {

using platform::joinPath;
using platform::resolvePath;

bool exists(const std::string& path) {
    return platform::fileStatus(path) == platform::FileStatus::Ok;
}

// The four folders of a connector's queue, spelled as they exist on disk.
struct ConnectorQueue {
    std::string inbound, inboundMessages, outgoing, outgoingMessages;

    explicit ConnectorQueue(const std::string& connectorDir)
        : inbound(resolvePath(joinPath(connectorDir, "Inbound"))),
          inboundMessages(resolvePath(joinPath(inbound, "Messages"))),
          outgoing(resolvePath(joinPath(connectorDir, "Outgoing"))),
          outgoingMessages(resolvePath(joinPath(outgoing, "Messages"))) {}
};

// Message file first, command file last: Outgoing never shows a command without its
// message. A command whose message is missing is not moved at all.
bool moveToOutgoing(const ConnectorQueue& queue, const std::string& message) {
    std::string messageFile = joinPath(queue.inboundMessages, message);
    if (!exists(messageFile)) return false;
    platform::createDirectory(queue.outgoing);
    platform::createDirectory(queue.outgoingMessages);
    // Each name is on disk before the next step, so a power loss cannot leave the command
    // in Outgoing with its message lost.
    return platform::renameFile(messageFile, joinPath(queue.outgoingMessages, message)) &&
           platform::flushFolder(queue.outgoingMessages) &&
           platform::renameFile(joinPath(queue.inbound, message),
                                joinPath(queue.outgoing, message)) &&
           platform::flushFolder(queue.outgoing);
}

// A hand-on cut short after its message file moved: only the command file is left to go.
bool finishInterruptedHandOn(const ConnectorQueue& queue, const std::string& message) {
    if (!exists(joinPath(queue.outgoingMessages, message)) ||
        exists(joinPath(queue.outgoing, message)))
        return false;
    return platform::renameFile(joinPath(queue.inbound, message),
                                joinPath(queue.outgoing, message)) &&
           platform::flushFolder(queue.outgoing);
}

}  // namespace

QueueRunner::QueueRunner(const AgentLibrary& agent, std::string connectorRoot, unsigned threads)
    : agent_(agent), root_(std::move(connectorRoot)), threads_(std::max(1u, threads)) {}

std::vector<std::string> QueueRunner::watchedFolders() const {
    std::vector<std::string> folders;
    for (const std::string& connector : platform::listDirectory(root_)) {
        ConnectorQueue queue(joinPath(root_, connector));
        for (const std::string& folder : {queue.inbound, queue.inboundMessages}) {
            if (platform::isDirectory(folder)) folders.push_back(folder);
        }
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

std::vector<QueueRunner::Item> QueueRunner::newItems() {
    std::vector<Item> items;
    for (const std::string& connector : platform::listDirectory(root_)) {
        ConnectorQueue queue(joinPath(root_, connector));
        for (const std::string& name : platform::listDirectory(queue.inbound)) {
            if (name.empty() || name[0] == '.' ||
                platform::isDirectory(joinPath(queue.inbound, name)))
                continue;
            Item item{connector, name};
            if (seen_.count(item)) continue;
            // The MTA writes the message file before the command file; until the message
            // is there the item is not ready, and a later scan takes it up again.
            if (!exists(joinPath(queue.inboundMessages, name))) {
                if (finishInterruptedHandOn(queue, name)) record(item, Outcome::HandedOn, false);
                continue;
            }
            seen_.insert(item);
            items.push_back(std::move(item));
        }
    }
    std::sort(items.begin(), items.end());
    return items;
}

Outcome QueueRunner::handOn(const Item& item) {
    ConnectorQueue queue(joinPath(root_, item.first));
    if (!exists(joinPath(queue.inbound, item.second))) return Outcome::Deleted;
    return moveToOutgoing(queue, item.second) ? Outcome::HandedOn : Outcome::Kept;
}

void QueueRunner::record(const Item& item, Outcome outcome, bool filtered) {
    std::lock_guard lock(summaryMutex_);
    if (filtered) ++summary_.filtered;
    if (outcome == Outcome::Deleted) ++summary_.deleted;
    if (outcome == Outcome::HandedOn) ++summary_.handedOn;
    if (onMessage) onMessage(item.first, item.second, outcome);
}

void QueueRunner::filterBatch(const std::vector<Item>& batch) {
    std::vector<Outcome> outcomes(batch.size(), Outcome::Kept);
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t i = next++; i < batch.size(); i = next++) {
            agent_.filterExecute(batch[i].second, batch[i].first);
            outcomes[i] = handOn(batch[i]);
            record(batch[i], outcomes[i], true);
        }
    };
    std::vector<std::thread> pool;
    unsigned count = std::min<unsigned>(threads_, unsigned(batch.size()));
    for (unsigned t = 0; t < count; ++t) pool.emplace_back(worker);
    for (std::thread& t : pool) t.join();
    // Items gone from Inbound need no memory: a later message of the same name is new.
    for (std::size_t i = 0; i < batch.size(); ++i) {
        if (outcomes[i] != Outcome::Kept) seen_.erase(batch[i]);
    }
}

void QueueRunner::drain() {
    // What appears after the first batch was queued by the runs themselves.
    for (bool first = true;; first = false) {
        std::vector<Item> batch = newItems();
        if (batch.empty()) break;
        if (!first) summary_.queuedByActions += batch.size();
        filterBatch(batch);
    }
}

}  // namespace kz::tool
