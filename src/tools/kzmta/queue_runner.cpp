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

// Message file first, command file last: Outgoing never shows a command without its
// message.
bool moveToOutgoing(const std::string& connectorDir, const std::string& message) {
    std::string inbound = resolvePath(joinPath(connectorDir, "Inbound"));
    std::string outgoing = resolvePath(joinPath(connectorDir, "Outgoing"));
    platform::createDirectory(outgoing);
    std::string outMessages = resolvePath(joinPath(outgoing, "Messages"));
    platform::createDirectory(outMessages);
    std::string messageFile = resolvePath(joinPath(joinPath(inbound, "Messages"), message));
    if (exists(messageFile) && !platform::renameFile(messageFile, joinPath(outMessages, message)))
        return false;
    return platform::renameFile(joinPath(inbound, message), joinPath(outgoing, message));
}

}  // namespace

QueueRunner::QueueRunner(const AgentLibrary& agent, std::string connectorRoot, unsigned threads)
    : agent_(agent), root_(std::move(connectorRoot)), threads_(std::max(1u, threads)) {}

std::vector<std::string> QueueRunner::inboundFolders() const {
    std::vector<std::string> folders;
    for (const std::string& connector : platform::listDirectory(root_)) {
        std::string inbound = resolvePath(joinPath(joinPath(root_, connector), "Inbound"));
        if (platform::isDirectory(inbound)) folders.push_back(inbound);
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

std::vector<QueueRunner::Item> QueueRunner::newItems() {
    std::vector<Item> items;
    for (const std::string& connector : platform::listDirectory(root_)) {
        std::string inbound = resolvePath(joinPath(joinPath(root_, connector), "Inbound"));
        for (const std::string& name : platform::listDirectory(inbound)) {
            if (name.empty() || name[0] == '.' || platform::isDirectory(joinPath(inbound, name)))
                continue;
            Item item{connector, name};
            if (seen_.insert(item).second) items.push_back(std::move(item));
        }
    }
    std::sort(items.begin(), items.end());
    return items;
}

Outcome QueueRunner::handOn(const Item& item) {
    std::string connectorDir = joinPath(root_, item.first);
    std::string command = joinPath(resolvePath(joinPath(connectorDir, "Inbound")), item.second);
    if (!exists(command)) return Outcome::Deleted;
    return moveToOutgoing(connectorDir, item.second) ? Outcome::HandedOn : Outcome::Kept;
}

void QueueRunner::filterBatch(const std::vector<Item>& batch) {
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t i = next++; i < batch.size(); i = next++) {
            agent_.filterExecute(batch[i].second, batch[i].first);
            Outcome outcome = handOn(batch[i]);
            std::lock_guard lock(summaryMutex_);
            ++summary_.filtered;
            if (outcome == Outcome::Deleted) ++summary_.deleted;
            if (outcome == Outcome::HandedOn) ++summary_.handedOn;
            if (onMessage) onMessage(batch[i].first, batch[i].second, outcome);
        }
    };
    std::vector<std::thread> pool;
    unsigned count = std::min<unsigned>(threads_, unsigned(batch.size()));
    for (unsigned t = 0; t < count; ++t) pool.emplace_back(worker);
    for (std::thread& t : pool) t.join();
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
