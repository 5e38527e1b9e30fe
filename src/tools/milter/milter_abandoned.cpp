#include "milter_abandoned.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "base/ascii.h"
#include "milter_digest.h"
#include "milter_readback.h"
#include "platform/files.h"

namespace kz::tool {

std::string TransactionFingerprint(const MilterTransaction& transaction,
                                   std::string_view bodyDigest) {
    BodyDigest digest;
    auto field = [&digest](std::string_view text) {
        digest.add(text);
        digest.add(std::string_view("\0", 1));
    };
    field(transaction.sender);
    for (const std::string& recipient : transaction.recipients) field(recipient);
    for (const auto& [name, value] : transaction.headers) {
        if (equalsIgnoreCase(name, "Received")) continue;
        field(name);
        field(value);
    }
    field(bodyDigest);
    return digest.finish();
}

AbandonedRuns::AbandonedRuns(std::string folder, std::size_t capacity, Clock::duration lifetime)
    : folder_(std::move(folder)), capacity_(capacity), lifetime_(lifetime) {
    platform::createDirectory(folder_);
    // What a previous process kept has no entry any more.
    for (const std::string& name : platform::listDirectory(folder_))
        platform::removeFile(platform::joinPath(folder_, name));
}

void AbandonedRuns::expire(Clock::time_point now) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        bool old = now - it->second.at > lifetime_ && !it->second.outcome.running;
        if (old || (entries_.size() > capacity_ && !it->second.outcome.running)) {
            if (!it->second.outcome.bodyFile.empty())
                platform::removeFile(it->second.outcome.bodyFile);
            it = entries_.erase(it);
        } else {
            ++it;
        }
    }
}

void AbandonedRuns::started(const std::string& fingerprint) {
    std::lock_guard lock(mutex_);
    expire(Clock::now());
    Entry& entry = entries_[fingerprint];
    entry.at = Clock::now();
    entry.outcome = Outcome{};
    entry.outcome.running = true;
}

void AbandonedRuns::forget(const std::string& fingerprint) {
    std::lock_guard lock(mutex_);
    entries_.erase(fingerprint);
}

void AbandonedRuns::finished(const std::string& fingerprint,
                             const std::optional<MilterDecision>& decision,
                             const std::string& bodyFile, std::uint64_t bodyOffset) {
    std::string kept;
    if (decision && decision->bodyChanged) {
        // Copied out of the queue, which the run's message leaves now.
        kept = platform::joinPath(folder_, fingerprint);
        int fd = open(kept.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        std::string why;
        bool copied = fd >= 0 && StreamFileFrom(
                                     bodyFile, bodyOffset,
                                     [fd](std::string_view piece) {
                                         return ::write(fd, piece.data(), piece.size()) ==
                                                ssize_t(piece.size());
                                     },
                                     why);
        if (fd >= 0) copied = close(fd) == 0 && copied;
        if (!copied) {
            std::fprintf(stderr, "kzmta milter: cannot keep the new body of a run given up: %s\n",
                         why.empty() ? kept.c_str() : why.c_str());
            platform::removeFile(kept);
            kept.clear();
        }
    }
    std::lock_guard lock(mutex_);
    auto it = entries_.find(fingerprint);
    if (!decision || (decision->bodyChanged && kept.empty())) {
        if (it != entries_.end()) entries_.erase(it);
        return;
    }
    Entry& entry = entries_[fingerprint];
    entry.at = Clock::now();
    entry.outcome = Outcome{false, *decision, kept};
}

std::optional<AbandonedRuns::Outcome> AbandonedRuns::take(const std::string& fingerprint) {
    std::lock_guard lock(mutex_);
    expire(Clock::now());
    auto it = entries_.find(fingerprint);
    if (it == entries_.end()) return std::nullopt;
    Outcome outcome = it->second.outcome;
    if (!outcome.running) entries_.erase(it);
    return outcome;
}

}  // namespace kz::tool
