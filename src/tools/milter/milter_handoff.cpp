#include "milter_handoff.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "log/event_report.h"
#include "message/loop_seal.h"
#include "milter_decision.h"
#include "milter_readback.h"
#include "platform/event_log.h"
#include "platform/files.h"

namespace kz::tool {

using platform::joinPath;

namespace {

bool Move(const std::string& from, const std::string& to) {
    return platform::renameFile(from, to) ||
           (platform::copyFile(from, to) && platform::removeFile(from));
}

}  // namespace

bool MoveQueued(const std::string& commandFrom, const std::string& messageFrom,
                const std::string& commandTo, const std::string& messageTo, Into into) {
    // The side that is a live queue never sees a command file without its message.
    bool commandFirst = into == Into::Aside;
    const std::string& firstFrom = commandFirst ? commandFrom : messageFrom;
    const std::string& firstTo = commandFirst ? commandTo : messageTo;
    if (!Move(firstFrom, firstTo)) return false;
    if (commandFirst ? Move(messageFrom, messageTo) : Move(commandFrom, commandTo)) return true;
    Move(firstTo, firstFrom);
    return false;
}

void NewMessageHandOff::restoreSending() {
    for (const std::string& name : platform::listDirectory(spool_.sending())) {
        std::string command = joinPath(spool_.sending(), name);
        if (platform::isDirectory(command) || platform::isTemporaryName(name)) continue;
        MoveQueued(command, joinPath(spool_.sendingMessages(), name),
                   joinPath(spool_.inbound(), name), joinPath(spool_.inboundMessages(), name),
                   Into::Queue);
    }
}

NewMessageHandOff::Step NewMessageHandOff::handOn(const std::string& folder,
                                                  const std::string& messagesFolder,
                                                  const std::string& name) {
    auto now = std::chrono::steady_clock::now();
    auto retry = retries_.find(name);
    if (retry != retries_.end() && now < retry->second.due) return Step::NotReady;
    std::string commandFile = joinPath(folder, name);
    std::string messageFile = joinPath(messagesFolder, name);
    std::optional<std::string> commands = platform::readFile(commandFile);
    std::optional<std::string> text = platform::readFile(messageFile);
    // The command file is written last: without it the message is not complete yet. A
    // transaction queued under this name meanwhile is not a new message.
    if (!commands || !text || spool_.holds(name)) return Step::NotReady;
    if (FirstHeaderValue(*text, kLoopHeaderName).empty()) {
        // Mail the MTA or an administrator put there: not the milter's to send.
        if (notOurs_.insert(folder + "/" + name).second)
            std::fprintf(stderr, "kzmta milter: %s is not a message of the agent's, left alone\n",
                         commandFile.c_str());
        return Step::NotReady;
    }
    Submission submission;
    submission.sender = AddressOfEnvelopeValue(CommandFileValue(*commands, "Sender"));
    submission.recipients = EnvelopeRecipients(CommandFileValue(*commands, "Recipients"));
    submission.text = std::move(*text);
    // Known before the MTA can pass it back through the milter.
    std::string seal = FirstHeaderValue(submission.text, kLoopSealHeaderName);
    if (policy_.remembersSeals) {
        std::string_view body(submission.text);
        seals_.remember(seal, name, DigestOf(body.substr(BodyStartOf(body))));
    }
    // Out of the queue while the MTA takes it: a copy that comes back through the milter
    // is queued under the same name.
    std::string sendingCommand = joinPath(spool_.sending(), name);
    std::string sendingMessage = joinPath(spool_.sendingMessages(), name);
    if (!MoveQueued(commandFile, messageFile, sendingCommand, sendingMessage, Into::Aside)) {
        seals_.forget(seal);
        return Step::NotReady;
    }
    std::string why;
    bool taken = submitter_.submit(submission, why);
    if (!taken &&
        !MoveQueued(sendingCommand, sendingMessage, commandFile, messageFile, Into::Queue)) {
        std::fprintf(stderr, "kzmta milter: cannot put %s back into %s\n", name.c_str(),
                     folder.c_str());
        return Step::Failed;
    }
    if (!taken) {
        seals_.forget(seal);
        if (refusedTooLong(commandFile) && moveToBadMail(commandFile, messageFile, name, why)) {
            retries_.erase(name);
            return Step::ToBadMail;
        }
        std::chrono::seconds wait = retry == retries_.end()
                                        ? policy_.firstRetry
                                        : std::min(retry->second.wait * 2, policy_.longestRetry);
        retries_[name] = {now + wait, wait};
        std::fprintf(stderr, "kzmta milter: %s not handed on: %s; next try in %llds\n",
                     name.c_str(), why.c_str(), static_cast<long long>(wait.count()));
        return Step::Failed;
    }
    retries_.erase(name);
    platform::removeFile(sendingCommand);
    platform::removeFile(sendingMessage);
    return Step::HandedOn;
}

bool NewMessageHandOff::refusedTooLong(const std::string& commandFile) const {
    auto version = platform::fileVersion(commandFile);
    return version && std::chrono::system_clock::now() - version->modified > policy_.expiry;
}

bool NewMessageHandOff::moveToBadMail(const std::string& commandFile,
                                      const std::string& messageFile, const std::string& name,
                                      const std::string& why) {
    if (policy_.badMail.empty()) return false;
    std::string messages = joinPath(policy_.badMail, "Messages");
    platform::createDirectory(policy_.badMail);
    platform::createDirectory(messages);
    if (!MoveQueued(commandFile, messageFile, joinPath(policy_.badMail, name),
                    joinPath(messages, name), Into::Aside))
        return false;
    std::string text = "kzmta milter: the MTA refused new message " + name + " for longer than " +
                       std::to_string(policy_.expiry.count() / 3600) +
                       " hours; moved to the Bad Mail Directory. Last refusal: " + why;
    std::fprintf(stderr, "%s\n", text.c_str());
    platform::reportEvent(log::kDefaultEventSource, platform::EventType::Warning,
                          log::kAgentEventId, {text});
    return true;
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
            if (step == Step::ToBadMail) ++count.toBadMail;
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
