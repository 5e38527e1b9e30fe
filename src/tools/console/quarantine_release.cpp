// Releasing, deleting and purging held messages.

#include <optional>

#include "base/ascii.h"
#include "console_error.h"
#include "console_report.h"
#include "held_message.h"
#include "message/envelope.h"
#include "message/envelope_fields.h"
#include "message/loop_seal.h"
#include "message/queue_names.h"
#include "message/queue_paths.h"
#include "platform/files.h"
#include "platform/guid.h"
#include "quarantine.h"

namespace kz::console {

namespace {

// The connector of kzmta milter's queue, whose hand-off gives new messages to the MTA.
constexpr std::string_view kMilterConnector = "SMTP";

bool plainAddress(std::string_view address) {
    if (address.empty() || address.size() > 500 || address.find('@') == std::string_view::npos)
        return false;
    for (char c : address)
        if (c <= ' ' || c == 0x7f || c == ';' || c == '[' || c == ']' || c == '<' || c == '>')
            return false;
    return true;
}

std::string connectorOf(const HeldMessage& message, const ReleaseRequest& request) {
    if (!request.connector.empty()) return request.connector;
    if (!message.connector.empty()) return message.connector;
    if (message.milter) return std::string(kMilterConnector);
    throw ConsoleError(ErrorKind::Unavailable, "the report log names no connector for " +
                                                   request.id +
                                                   ": give the connector whose queue it goes to");
}

std::optional<LoopSeal> installationSeal(const Installation& installation) {
    std::optional<LoopSeal> seal;
    WithRegistry(installation, [&] { seal = LoadLoopSeal(); });
    return seal;
}

// Command file first: a message without it is no longer listed, and its file alone is
// what the queue sweep would take for a leftover.
void removeHeld(const HeldFiles& held, const std::string& id) {
    if (!platform::removeFile(held.commandFile))
        throw ConsoleError(ErrorKind::Failed, "cannot remove " + held.commandFile);
    if (!platform::removeFile(held.messageFile) &&
        platform::fileStatus(held.messageFile) != platform::FileStatus::NotFound)
        throw ConsoleError(ErrorKind::Failed,
                           id + ": its command file is removed, its message file " +
                               held.messageFile + " could not be");
}

}  // namespace

ReleaseResult Release(const Installation& installation, const ReleaseRequest& request) {
    HeldFiles held = OpenHeld(installation, request.id);
    if (!request.to.empty() && !plainAddress(request.to))
        throw ConsoleError(ErrorKind::InvalidId, "not a plain mail address: " + request.to);
    if (!request.connector.empty() && !IsSafeQueueName(request.connector))
        throw ConsoleError(ErrorKind::InvalidId, "not a connector name: " + request.connector);
    if (installation.connectorRoot.empty())
        throw ConsoleError(ErrorKind::Unavailable,
                           "the registry names no \"Connector Root Directory\"");
    auto text = platform::readFile(held.messageFile);
    if (!text) throw ConsoleError(ErrorKind::Failed, "cannot read " + held.messageFile);
    std::optional<LoopSeal> seal = installationSeal(installation);
    if (!seal)
        throw ConsoleError(ErrorKind::Failed,
                           "no loop seal key can be had from the registry: the released "
                           "message would be held again");

    HeldMessage message = held.summary;
    AddReportFacts(installation, message);
    ReleaseResult result;
    result.id = request.id;
    result.route = message.milter ? "milter" : "queue";
    result.connector = connectorOf(message, request);
    result.queuedAs = platform::newQueuedMessageId();
    auto paths = InboundQueuePaths(installation.connectorRoot, result.connector, result.queuedAs);
    if (!paths || !EnsureMessagesFolder(paths->messagesFolder))
        throw ConsoleError(ErrorKind::Failed, "cannot queue into connector " + result.connector +
                                                  " under " + installation.connectorRoot);

    // The agent's own message for one pass: its seal is of the name it is queued under.
    std::string released = std::string(kLoopHeaderName) + ": 1\r\n" +
                           std::string(kLoopSealHeaderName) + ": " +
                           seal->sealFor(result.queuedAs) + "\r\n" + *text;
    MessageEnvelope envelope = held.envelope;
    if (!request.to.empty()) envelope.recipients = "[SMTP:" + request.to + "]";
    std::vector<std::string> kept;
    for (const std::string& line : held.commandLines)
        if (!IsWrittenEnvelopeLine(line)) kept.push_back(line);
    if (!PublishFile(paths->messageFile, platform::temporaryNameFor(paths->messageFile), released))
        throw ConsoleError(ErrorKind::Failed, "cannot write " + paths->messageFile);
    if (!WriteCommandFile(paths->commandFile, envelope, kept)) {
        platform::removeFile(paths->messageFile);
        throw ConsoleError(ErrorKind::Failed, "cannot write " + paths->commandFile);
    }
    removeHeld(held, request.id);

    message.connector = result.connector;
    std::string outcome = result.route + " " + result.connector + " as " + result.queuedAs;
    if (!request.to.empty()) outcome += " to " + request.to;
    WriteConsoleReportLine(installation, "Released", held, message, outcome, request.actor);
    return result;
}

void Delete(const Installation& installation, const std::string& id, const Actor& actor) {
    HeldFiles held = OpenHeld(installation, id);
    HeldMessage message = held.summary;
    AddReportFacts(installation, message);
    removeHeld(held, id);
    WriteConsoleReportLine(installation, "Deleted", held, message, "deleted", actor);
}

std::vector<std::string> Purge(const Installation& installation, uint32_t days, const Actor& actor,
                               TimePoint now) {
    std::vector<std::string> purged;
    if (days == 0) return purged;
    HeldQuery old;
    old.until = now - std::chrono::hours(24) * days;
    for (const HeldMessage& message : ListHeld(installation, old)) {
        try {
            HeldFiles held = OpenHeld(installation, message.id);
            removeHeld(held, message.id);
            WriteConsoleReportLine(installation, "Deleted", held, message,
                                   "purged after " + std::to_string(days) + " days", actor);
            purged.push_back(message.id);
        } catch (const ConsoleError& error) {
            // Released or deleted by another meanwhile: nothing left to purge.
            if (error.kind() != ErrorKind::NotHeld) throw;
        }
    }
    return purged;
}

}  // namespace kz::console
