// kzmta stats: what the filters did, counted from the daily report logs (stats.h; the
// console's overview calls the same query).

#include <cstdio>
#include <memory>
#include <string>

#include "command_line.h"
#include "commands.h"
#include "console_error.h"
#include "date_option.h"
#include "platform/files.h"
#include "stats.h"

namespace kz::tool {

namespace {

using namespace kz::console;

struct StatsOptions {
    std::string registry;
    std::string since, until, by = "day", prometheus;
    bool json = false;
};

int stats(const StatsOptions& o) {
    RequireRegistryFile(o.registry);
    StatsQuery query;
    query.since = HourOption(o.since, "--since", false);
    query.until = HourOption(o.until, "--until", true);
    query.period = o.by == "hour" ? StatsPeriod::Hour : StatsPeriod::Day;
    Installation installation = ReadInstallation(o.registry);
    if (installation.logDirectory.empty())
        throw ConsoleError(ErrorKind::Unavailable,
                           "the registry names no \"Activity Log Directory\": no report logs");
    StatsResult result = QueryStats(installation, query);
    if (!o.prometheus.empty()) {
        // Whole or not at all: the textfile collector may read it at any moment.
        if (!platform::writeFileAtomic(o.prometheus, ToPrometheus(result)))
            throw ConsoleError(ErrorKind::Failed, "cannot write " + o.prometheus);
    }
    if (o.json)
        std::fputs(ToJson(result).c_str(), stdout);
    else if (o.prometheus.empty())
        std::fputs(ToText(result).c_str(), stdout);
    if (!result.indexed)
        std::fprintf(stderr,
                     "kzmta stats: the index cannot be kept in %s; every query reads the logs\n",
                     installation.logDirectory.c_str());
    return 0;
}

}  // namespace

void AddStatsCommand(CommandLine& cli) {
    auto o = std::make_shared<StatsOptions>();
    CLI::App& command =
        cli.add(cli.root(), "stats",
                "hits per filter, action, connector and day or hour, from the daily report logs",
                [o] { return stats(*o); });
    AddRegistryOption(command, o->registry);
    command.add_option("--since", o->since, "from this day or hour on (local time)")
        ->type_name("DATE");
    command.add_option("--until", o->until, "up to and with this day or hour")->type_name("DATE");
    command.add_option("--by", o->by, "count per day or per hour")
        ->check(CLI::IsMember({"day", "hour"}))
        ->type_name("day|hour");
    command.add_flag("--json", o->json, "a JSON object");
    command
        .add_option("--prometheus", o->prometheus,
                    "write the counts in Prometheus text format to FILE (for node-exporter's "
                    "textfile collector)")
        ->type_name("FILE");
}

}  // namespace kz::tool
