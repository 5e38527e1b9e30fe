// The end of one transaction: the spooled message goes through the agent, and what the
// agent left in the queue becomes the answer to the MTA.

#include <cstdio>
#include <optional>

#include "milter_connection.h"
#include "milter_decision.h"
#include "milter_readback.h"
#include "milter_report.h"
#include "platform/files.h"

namespace kz::tool {

namespace {

// Sent in pieces: the protocol's packets are bounded.
constexpr std::size_t kBodyPiece = 64 * 1024;
// The agent adds headers: what it reads back may be this much larger than what came.
constexpr std::size_t kHeaderGrowth = 1u << 20;

// One line per transaction, --verbose or not.
void Report(const MilterService& service, const Connection& c, const std::string& spoolId,
            const std::string& verdict) {
    const MilterTransaction& t = c.transaction;
    std::fprintf(service.console, "kzmta milter: %s: spool %s, from <%s>, %zu recipient%s: %s\n",
                 t.queueId.empty() ? "-" : t.queueId.c_str(),
                 spoolId.empty() ? "-" : spoolId.c_str(), t.sender.c_str(), t.recipients.size(),
                 t.recipients.size() == 1 ? "" : "s", verdict.c_str());
    std::fflush(service.console);
}

sfsistat Deferred(SMFICTX* ctx, const MilterService& service, const Connection& c,
                  const std::string& spoolId, const std::string& why) {
    Report(service, c, spoolId, "deferred (451): " + why);
    return Reply(ctx, "451", "4.3.0", "Mail filter temporarily unavailable", SMFIS_TEMPFAIL);
}

std::string Changes(const MilterDecision& d) {
    std::string out;
    auto add = [&out](std::size_t n, const char* what) {
        if (n == 0) return;
        out += (out.empty() ? " with " : ", ") + std::to_string(n) + " " + what;
    };
    add(d.headers.size(), d.headers.size() == 1 ? "header change" : "header changes");
    add(d.bodyChanged ? 1 : 0, "new body");
    add(d.addedRecipients.size(), "recipients added");
    add(d.removedRecipients.size(), "recipients removed");
    return out;
}

// libmilter takes non-const buffers that it only reads: the decision is the caller's own.
bool Apply(SMFICTX* ctx, MilterDecision& decision, const std::string& bodyFile,
           std::uint64_t bodyOffset, std::string& why) {
    why = "the MTA refused a change";
    for (HeaderChange& h : decision.headers) {
        char* name = h.name.data();
        char* value = h.value.data();
        int rc = MI_FAILURE;
        switch (h.kind) {
            case HeaderChange::Kind::Change:
                rc = smfi_chgheader(ctx, name, h.index, value);
                break;
            case HeaderChange::Kind::Delete:
                rc = smfi_chgheader(ctx, name, h.index, nullptr);
                break;
            case HeaderChange::Kind::Insert:
                rc = smfi_insheader(ctx, h.index, name, value);
                break;
            case HeaderChange::Kind::Add:
                rc = smfi_addheader(ctx, name, value);
                break;
        }
        if (rc != MI_SUCCESS) return false;
    }
    if (decision.bodyChanged) {
        bool sent = false;
        auto piece = [ctx, &sent](std::string_view bytes) {
            for (std::size_t at = 0; at < bytes.size(); at += kBodyPiece) {
                std::string_view part = bytes.substr(at, kBodyPiece);
                auto data = reinterpret_cast<unsigned char*>(const_cast<char*>(part.data()));
                if (smfi_replacebody(ctx, data, int(part.size())) != MI_SUCCESS) return false;
                sent = true;
            }
            return true;
        };
        if (!StreamFileFrom(bodyFile, bodyOffset, piece, why)) return false;
        // An empty body is one empty piece.
        unsigned char none = 0;
        if (!sent && smfi_replacebody(ctx, &none, 0) != MI_SUCCESS) return false;
    }
    for (const std::string& r : decision.addedRecipients) {
        std::string address = "<" + r + ">";
        if (smfi_addrcpt(ctx, address.data()) != MI_SUCCESS) return false;
    }
    for (const std::string& r : decision.removedRecipients) {
        std::string address = "<" + r + ">";
        if (smfi_delrcpt(ctx, address.data()) != MI_SUCCESS) return false;
    }
    return true;
}

sfsistat Answer(SMFICTX* ctx, const MilterService& service, const Connection& c,
                const std::string& spoolId, MilterDecision& decision, const std::string& bodyFile,
                std::uint64_t bodyOffset, const std::string& note) {
    if (decision.gone) {
        const MilterOptions& o = service.options;
        if (!o.rejectRemoved) {
            Report(service, c, spoolId, std::string("removed by the agent, discarded") + note);
            return SMFIS_DISCARD;
        }
        Report(service, c, spoolId,
               "removed by the agent, rejected (" + o.reject.code + ")" + note);
        return Reply(ctx, o.reject.code.c_str(),
                     o.reject.enhanced.empty() ? nullptr : o.reject.enhanced.c_str(), o.reject.text,
                     SMFIS_REJECT);
    }
    std::string why;
    if (!Apply(ctx, decision, bodyFile, bodyOffset, why))
        return Deferred(ctx, service, c, spoolId, why);
    Report(service, c, spoolId, "accepted" + Changes(decision) + note);
    return SMFIS_CONTINUE;
}

}  // namespace

sfsistat EndOfMessage(SMFICTX* ctx, Connection& c, MilterService& service) {
    if (const char* id = smfi_getsymval(ctx, const_cast<char*>("i")); id && *id)
        c.transaction.queueId = id;
    MilterSpool& spool = service.spool;
    if (!c.writer) c.writer = std::make_unique<SpoolWriter>(spool, c.transaction);
    const std::string digest = c.writer->bodyDigest();

    // A retry of a transaction whose run the milter gave up waiting for.
    std::string fingerprint = TransactionFingerprint(c.transaction, digest);
    if (auto earlier = service.abandoned.take(fingerprint)) {
        if (earlier->running)
            return Deferred(ctx, service, c, {}, "the run of an earlier attempt is still going");
        sfsistat status = Answer(ctx, service, c, {}, earlier->decision, earlier->bodyFile, 0,
                                 " (the decision of an earlier attempt's run)");
        if (!earlier->bodyFile.empty()) platform::removeFile(earlier->bodyFile);
        return status;
    }

    // One of the milter's own new messages, back with its seal and its body: queued under
    // its own name, where the agent recognises it.
    std::string name;
    if (!c.seal.empty()) {
        if (auto handedOn = service.seals.takeBack(c.seal, digest)) name = *handedOn;
    }
    std::optional<SpooledMessage> queued = c.writer->finish(name);
    c.writer.reset();
    if (!queued) return Deferred(ctx, service, c, name, "cannot write into " + spool.inbound());
    std::string note = name.empty() ? "" : " (a message it handed on, back)";

    std::size_t headerLimit = service.options.maxSize + kHeaderGrowth;
    ReportLogWindow reportLog(service.reportLogDirectory);
    service.abandoned.started(fingerprint);
    auto result = service.runs.run(
        queued->id, spool.connector(),
        [&service, copy = *queued, fingerprint, headerLimit](bool done) {
            QueuedAfterRun after =
                ReadQueuedMessage(copy.messageFile, copy.commandFile, headerLimit);
            // Without a decision the retry runs anew.
            std::optional<MilterDecision> decision;
            if (!done) {
                std::fprintf(stderr,
                             "kzmta milter: %s: the run given up could not keep its copy or "
                             "write its changes\n",
                             copy.id.c_str());
            } else if (after.state != QueuedAfterRun::State::Unreadable) {
                decision =
                    CompareQueuedMessage(copy.headers, copy.bodyDigest, copy.commands, after);
            } else {
                std::fprintf(stderr, "kzmta milter: %s: the run given up cannot be read back: %s\n",
                             copy.id.c_str(), after.why.c_str());
            }
            service.abandoned.finished(fingerprint, decision, copy.messageFile, after.bodyOffset);
            service.spool.remove(copy);
            service.handOff.wake();
        });
    if (result == AgentRuns::Result::TimedOut)
        return Deferred(ctx, service, c, queued->id,
                        "the agent run took longer than --timeout; its outcome answers the retry");
    service.abandoned.forget(fingerprint);
    if (result == AgentRuns::Result::Busy) {
        spool.remove(*queued);
        return Deferred(ctx, service, c, queued->id, "every agent run is busy");
    }
    if (result == AgentRuns::Result::Undone) {
        // A quarantine copy or a rewrite failed: the message is neither dropped nor passed
        // on unmarked; the client keeps it and tries again.
        spool.remove(*queued);
        service.handOff.wake();
        return Deferred(ctx, service, c, queued->id,
                        "the agent could not keep its copy or write its changes");
    }
    QueuedAfterRun after = ReadQueuedMessage(queued->messageFile, queued->commandFile, headerLimit);
    sfsistat status;
    if (after.state == QueuedAfterRun::State::Unreadable) {
        status = Deferred(ctx, service, c, queued->id, "cannot read the queue back: " + after.why);
    } else {
        MilterDecision decision =
            CompareQueuedMessage(queued->headers, queued->bodyDigest, queued->commands, after);
        std::string filters;
        for (const std::string& filter : reportLog.filtersFor(queued->id))
            filters += (filters.empty() ? "; filters: " : ", ") + filter;
        note += filters;
        status = Answer(ctx, service, c, queued->id, decision, queued->messageFile,
                        after.bodyOffset, note);
    }
    spool.remove(*queued);
    service.handOff.wake();
    return status;
}

}  // namespace kz::tool
