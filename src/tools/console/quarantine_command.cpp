// kzmta quarantine: list, show, release, delete and purge the messages the agent holds in
// its Quarantine Directory (quarantine.h does the work; the console's pages call the same).

#include <cstdio>
#include <memory>
#include <string>

#include "command_line.h"
#include "commands.h"
#include "console_error.h"
#include "date_option.h"
#include "quarantine.h"
#include "stats.h"

namespace kz::tool {

namespace {

using namespace kz::console;

struct QuarantineOptions {
    std::string registry;
    std::string since, until, sender, filter;
    bool json = false;
    std::string id, to, connector;
    uint32_t olderThan = 0;
    bool olderThanGiven = false;
};

Installation installationOf(const QuarantineOptions& o) {
    RequireRegistryFile(o.registry);
    return ReadInstallation(o.registry);
}

std::optional<TimePoint> dateOption(const std::string& text, const char* option, bool last) {
    auto hour = HourOption(text, option, last);
    if (!hour) return std::nullopt;
    TimePoint start = LocalHourStart(*hour);
    return last ? start + std::chrono::hours(1) - std::chrono::seconds(1) : start;
}

// An ID refused before any lookup is an error in the command line.
template <typename Run>
int refusingIds(Run run) {
    try {
        return run();
    } catch (const ConsoleError& error) {
        if (error.kind() == ErrorKind::InvalidId) throw UsageError(error.what());
        throw;
    }
}

int list(const QuarantineOptions& o) {
    HeldQuery query;
    query.since = dateOption(o.since, "--since", false);
    query.until = dateOption(o.until, "--until", true);
    query.sender = o.sender;
    query.filter = o.filter;
    auto held = ListHeld(installationOf(o), query);
    std::fputs((o.json ? ToJson(held) : ToText(held)).c_str(), stdout);
    return 0;
}

int show(const QuarantineOptions& o) {
    HeldDetail detail = ShowHeld(installationOf(o), o.id);
    std::fputs((o.json ? ToJson(detail) : ToText(detail)).c_str(), stdout);
    return 0;
}

int release(const QuarantineOptions& o) {
    ReleaseRequest request{o.id, o.to, o.connector, Actor{CurrentUserName()}};
    ReleaseResult result = Release(installationOf(o), request);
    if (o.json) {
        std::fputs(ToJson(result).c_str(), stdout);
    } else if (result.route == "milter") {
        std::printf(
            "%s released into kzmta milter's queue as %s; its hand-off gives it to the MTA\n",
            result.id.c_str(), result.queuedAs.c_str());
    } else {
        std::printf("%s released into the queue of connector %s as %s\n", result.id.c_str(),
                    result.connector.c_str(), result.queuedAs.c_str());
    }
    return 0;
}

int remove(const QuarantineOptions& o) {
    Delete(installationOf(o), o.id, Actor{CurrentUserName()});
    std::printf("%s deleted\n", o.id.c_str());
    return 0;
}

int purge(const QuarantineOptions& o) {
    Installation installation = installationOf(o);
    uint32_t days = o.olderThanGiven ? o.olderThan : installation.quarantineDays;
    if (days == 0) {
        std::printf("Nothing purged: %s\n", o.olderThanGiven
                                                ? "--older-than 0 keeps every message"
                                                : "\"Quarantine Days\" is 0 or not set");
        return 0;
    }
    auto purged = Purge(installation, days, Actor{CurrentUserName()});
    std::printf("Purged %zu message%s held longer than %u day%s\n", purged.size(),
                purged.size() == 1 ? "" : "s", days, days == 1 ? "" : "s");
    return 0;
}

}  // namespace

void AddQuarantineCommand(CommandLine& cli) {
    auto o = std::make_shared<QuarantineOptions>();
    CLI::App& quarantine =
        cli.addGroup(cli.root(), "quarantine", "list, show, release or delete held messages");
    AddRegistryOption(quarantine, o->registry);

    CLI::App& listing = cli.add(quarantine, "list", "one row per held message, newest first",
                                [o] { return list(*o); });
    listing.add_option("--since", o->since, "held on or after this day (local time)")
        ->type_name("DATE");
    listing.add_option("--until", o->until, "held on or before this day")->type_name("DATE");
    listing.add_option("--sender", o->sender, "the sender address contains TEXT")
        ->type_name("TEXT");
    listing.add_option("--filter", o->filter, "held by the filter of this description")
        ->type_name("NAME");
    listing.add_flag("--json", o->json, "a JSON array of objects");

    CLI::App& showing = cli.add(quarantine, "show",
                                "envelope, report lines, headers and MIME parts of a held message",
                                [o] { return refusingIds([&] { return show(*o); }); });
    showing.add_option("ID", o->id, "the held message")->required();
    showing.add_flag("--json", o->json, "a JSON object");

    CLI::App& releasing = cli.add(
        quarantine, "release",
        "queue a held message again with its envelope; no filter holds it, a virus is still held",
        [o] { return refusingIds([&] { return release(*o); }); });
    releasing.add_option("ID", o->id, "the held message")->required();
    releasing.add_option("--to", o->to, "deliver to this address instead of its recipients")
        ->type_name("ADDRESS");
    releasing
        .add_option("--connector", o->connector,
                    "the connector whose queue it goes to, when the report log names none")
        ->type_name("NAME");
    releasing.add_flag("--json", o->json, "a JSON object");

    CLI::App& deleting = cli.add(quarantine, "delete", "remove a held message",
                                 [o] { return refusingIds([&] { return remove(*o); }); });
    deleting.add_option("ID", o->id, "the held message")->required();

    CLI::App& purging =
        cli.add(quarantine, "purge", "remove the messages held longer than a number of days",
                [o] { return purge(*o); });
    AddNumberOption(purging, "--older-than", o->olderThan,
                    "days (default: the \"Quarantine Days\" setting; 0 keeps everything)", 0, 36500)
        ->each([o](const std::string&) { o->olderThanGiven = true; });
}

}  // namespace kz::tool
