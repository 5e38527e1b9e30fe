// The quarantine and statistics views, on the console's library: the same JSON as
// `kzmta quarantine ... --json` and `kzmta stats --json`.

#include <cstdio>

#include "console_error.h"
#include "quarantine.h"
#include "stats.h"
#include "views.h"

namespace kz::tool::web {

namespace {

int statusOf(console::ErrorKind kind) {
    switch (kind) {
        case console::ErrorKind::InvalidId:
            return 400;
        case console::ErrorKind::NotHeld:
            return 404;
        case console::ErrorKind::Unavailable:
            return 503;
        case console::ErrorKind::Failed:
            break;
    }
    return 500;
}

// Runs `view` on the installation as the registry file describes it now.
template <typename View>
ViewAnswer answer(const std::string& registry, View view) {
    try {
        return {200, view(console::ReadInstallation(registry)), {}};
    } catch (const console::ConsoleError& error) {
        return Failed(statusOf(error.kind()), error.what());
    }
}

// Refused before anything is looked up, as on the command line.
std::optional<ViewAnswer> invalidId(const std::string& id) {
    if (console::IsValidHeldId(id)) return std::nullopt;
    return Failed(400, "not the name of a held message");
}

std::optional<console::HourKey> hour(std::optional<int> day, bool last) {
    if (!day) return std::nullopt;
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", *day / 10000, *day / 100 % 100, *day % 100);
    return console::ParseHourKey(text, last);
}

}  // namespace

ViewAnswer StatsView(const std::string& registry, const StatsRange& range) {
    return answer(registry, [&](const console::Installation& installation) {
        console::StatsQuery query;
        query.since = hour(range.since, false);
        query.until = hour(range.until, true);
        query.period = range.hourly ? console::StatsPeriod::Hour : console::StatsPeriod::Day;
        return console::ToJson(console::QueryStats(installation, query));
    });
}

ViewAnswer QuarantineView(const std::string& registry) {
    return answer(registry, [](const console::Installation& installation) {
        return console::ToJson(console::ListHeld(installation, {}));
    });
}

ViewAnswer HeldMessageView(const std::string& registry, const std::string& id) {
    if (auto refused = invalidId(id)) return *refused;
    return answer(registry, [&](const console::Installation& installation) {
        return console::ToJson(console::ShowHeld(installation, id));
    });
}

ViewAnswer ReleaseHeld(const std::string& registry, const std::string& id, const std::string& who) {
    if (auto refused = invalidId(id)) return *refused;
    std::lock_guard lock(AgentStateLock());
    return answer(registry, [&](const console::Installation& installation) {
        console::ReleaseRequest request;
        request.id = id;
        request.actor.name = who;
        return console::ToJson(console::Release(installation, request));
    });
}

ViewAnswer DeleteHeld(const std::string& registry, const std::string& id, const std::string& who) {
    if (auto refused = invalidId(id)) return *refused;
    std::lock_guard lock(AgentStateLock());
    return answer(registry, [&](const console::Installation& installation) {
        console::Delete(installation, id, console::Actor{who});
        return JsonText({{"id", id}, {"deleted", true}});
    });
}

}  // namespace kz::tool::web
