#pragma once
// kzmta quarantine and the console's quarantine page: the messages the agent holds in
// its Quarantine Directory (each a command file named by its ID and the message file of
// the same name in Messages), listed, shown, released, deleted and purged. ToJson gives
// the one text of both `kzmta quarantine ... --json` and the HTTP API.
//
// An ID is refused (ConsoleError InvalidId) unless it is a name the agent could have
// given a held message: a plain name of printable ASCII without separators, "..",
// a leading dot or a temporary's form. A valid ID that is not held is NotHeld.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "installation.h"
#include "message/mime_headers.h"

namespace kz::console {

using TimePoint = std::chrono::system_clock::time_point;

struct HeldQuery {
    std::optional<TimePoint> since, until;  // time held, inclusive
    std::string sender;                     // part of the sender address, any case
    std::string filter;                     // a filter description, any case
};

struct HeldMessage {
    std::string id;
    TimePoint time;                       // when it was held: the command file's copy time
    std::string connector;                // from the report line that held it; empty when unknown
    std::string sender;                   // bare address
    std::vector<std::string> recipients;  // bare addresses
    std::string subject;                  // decoded, control characters made visible
    uint64_t size = 0;                    // of the message file
    std::vector<std::string> filters;     // descriptions of the filters that copied it here
    bool milter = false;  // held by kzmta milter (its command file has a QueueID line)
};

// Newest first. Throws ConsoleError(Unavailable) without a Quarantine Directory.
std::vector<HeldMessage> ListHeld(const Installation& installation, const HeldQuery& query);

struct MessagePart {
    std::string contentType, charset, transferEncoding, dispositionType, fileName;
    uint64_t size = 0;
};

struct HeldDetail {
    HeldMessage message;
    std::vector<std::string> envelope;  // the command file's lines
    std::vector<HeaderEntry> headers;   // decoded
    std::vector<MessagePart> parts;
    std::string textBody, htmlBody;        // as the MIME reader decodes them: never rendered
    std::vector<std::string> reportLines;  // the report-log lines that held it
};

HeldDetail ShowHeld(const Installation& installation, const std::string& id);

// Who asked, for the report log's "Released" and "Deleted" lines: a user name, or the
// console's login and address.
struct Actor {
    std::string name;
};

struct ReleaseRequest {
    std::string id;
    std::string to;         // one address instead of the original recipients; empty: them
    std::string connector;  // when the report log names none
    Actor actor;
};

struct ReleaseResult {
    std::string id;
    std::string route;      // "queue", or "milter" for the milter's hand-off
    std::string connector;  // of the queue it went to
    std::string queuedAs;   // its name in that queue
};

// Puts the message back on its way with its envelope and removes it from the
// quarantine: into its connector's Inbound queue under a new name, message file first,
// command file last, as the agent's own message for one pass (the loop seal of the new
// name), so no filter holds it again but a virus is still found and held. Mail held by
// kzmta milter goes into the milter's queue (connector "SMTP"), whose hand-off gives the
// agent's own messages to the MTA.
// A "Released" line in the report log says who did it. Throws ConsoleError.
ReleaseResult Release(const Installation& installation, const ReleaseRequest& request);

// Removes a held message and writes a "Deleted" report line. Throws ConsoleError.
void Delete(const Installation& installation, const std::string& id, const Actor& actor);

// Removes the messages held longer than `days` days (each with a "Deleted" line); 0 days
// removes nothing. Returns the IDs removed.
std::vector<std::string> Purge(const Installation& installation, uint32_t days, const Actor& actor,
                               TimePoint now = std::chrono::system_clock::now());

// True for a name the agent could give a held message (see above).
bool IsValidHeldId(std::string_view id);

// ISO 8601 UTC, "2026-12-05T14:03:59Z".
std::string IsoUtc(TimePoint time);

std::string ToJson(const std::vector<HeldMessage>& messages);
std::string ToJson(const HeldDetail& detail);
std::string ToJson(const ReleaseResult& result);
std::string ToText(const std::vector<HeldMessage>& messages);
std::string ToText(const HeldDetail& detail);

}  // namespace kz::console
