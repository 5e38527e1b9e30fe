#include "milter_handoff.h"

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <optional>

#include "message/loop_seal.h"
#include "milter_decision.h"
#include "platform/files.h"

namespace kz::tool {

using platform::joinPath;

NewMessageHandOff::Step NewMessageHandOff::handOn(const std::string& folder,
                                                  const std::string& messagesFolder,
                                                  const std::string& name) {
    std::string commandFile = joinPath(folder, name);
    std::string messageFile = joinPath(messagesFolder, name);
    std::optional<std::string> commands = platform::readFile(commandFile);
    std::optional<std::string> text = platform::readFile(messageFile);
    // The command file is written last: without it the message is not complete yet.
    if (!commands || !text) return Step::NotReady;
    Submission submission;
    submission.sender = AddressOfEnvelopeValue(CommandFileValue(*commands, "Sender"));
    submission.recipients = EnvelopeRecipients(CommandFileValue(*commands, "Recipients"));
    submission.text = std::move(*text);
    // Known before the MTA can pass it back through the milter.
    seals_.remember(FirstHeaderValue(submission.text, kLoopSealHeaderName));
    std::string why;
    if (!submitter_.submit(submission, why)) {
        std::fprintf(stderr, "kzmta milter: %s not handed on: %s\n", name.c_str(), why.c_str());
        return Step::Failed;
    }
    platform::removeFile(commandFile);
    platform::removeFile(messageFile);
    return Step::HandedOn;
}

HandOffCount NewMessageHandOff::handOnQueued() {
    HandOffCount count;
    for (;;) {
        std::unique_lock lock(mutex_, std::try_to_lock);
        if (!lock.owns_lock()) {
            again_ = true;
            return count;
        }
        again_ = false;
        pass(count);
        lock.unlock();
        // A call that came during the pass may have seen a message the pass had not.
        if (!again_) return count;
    }
}

void NewMessageHandOff::pass(HandOffCount& count) {
    const std::pair<const std::string&, const std::string&> queues[] = {
        {spool_.inbound(), spool_.inboundMessages()},
        {spool_.outgoing(), spool_.outgoingMessages()}};
    for (const auto& [folder, messagesFolder] : queues) {
        for (const std::string& name : platform::listDirectory(folder)) {
            if (name.empty() || name[0] == '.' || MilterSpool::isTransactionId(name) ||
                platform::isDirectory(joinPath(folder, name)))
                continue;
            Step step = handOn(folder, messagesFolder, name);
            if (step == Step::HandedOn) ++count.handedOn;
            if (step == Step::Failed) ++count.failed;
        }
    }
}

void NewMessageHandOff::start(std::chrono::seconds retry) {
    if (worker_.joinable()) return;
    // The stop signals are for libmilter's own signal thread: one delivered here would
    // end the process without a clean stop.
    sigset_t stopSignals, previous;
    sigemptyset(&stopSignals);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stopSignals, signal);
    pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
    worker_ = std::thread([this, retry] {
        std::unique_lock lock(wakeMutex_);
        while (!stopping_) {
            woken_ = false;
            lock.unlock();
            HandOffCount count = handOnQueued();
            if (count.failed)
                std::fprintf(stderr, "kzmta milter: %zu new messages wait to be handed on\n",
                             count.failed);
            lock.lock();
            wakeCv_.wait_for(lock, retry, [this] { return woken_ || stopping_; });
        }
        lock.unlock();
        handOnQueued();
    });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void NewMessageHandOff::wake() {
    {
        std::lock_guard lock(wakeMutex_);
        woken_ = true;
    }
    wakeCv_.notify_one();
}

void NewMessageHandOff::stop() {
    if (!worker_.joinable()) return;
    {
        std::lock_guard lock(wakeMutex_);
        stopping_ = true;
    }
    wakeCv_.notify_one();
    worker_.join();
}

}  // namespace kz::tool
