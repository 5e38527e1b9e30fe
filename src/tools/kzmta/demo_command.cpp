// kzmta demo: builds the demo environment, filters its queue and shows what happened.

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "agent_library.h"
#include "agent_trace.h"
#include "command_line.h"
#include "commands.h"
#include "demo_environment.h"
#include "message/encoded_words.h"
#include "message/header_params.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/utf8_path.h"

namespace kz::tool {

namespace {

// A header of a message file, its encoded words decoded as a mail reader shows them.
std::string HeaderValue(const std::string& message, const std::string& name) {
    std::string_view headers(message);
    std::size_t end = headers.find("\r\n\r\n");
    if (end != std::string_view::npos) headers = headers.substr(0, end + 2);
    return DecodeEncodedWords(GetHeaderFieldValue(headers, name, false).value_or(""));
}

// The report lines of the run by message: "filter: criteria and data; actions".
std::map<std::string, std::vector<std::string>> ReportByMessage(const std::string& log) {
    std::map<std::string, std::vector<std::string>> found;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream columns(line);
        for (std::string field; std::getline(columns, field, '\t');) fields.push_back(field);
        // Time, Action, MessageID, Connector, Filter, Result, Account, Sender, IPAddress, Data
        if (fields.size() < 10 || fields[1] != "Executed") continue;
        found[fields[2]].push_back("\"" + fields[4] + "\": " + fields[9] + "; " + fields[5]);
    }
    return found;
}

bool present(const std::string& path) {
    return platform::fileStatus(path) == platform::FileStatus::Ok;
}

// What became of one message, one line per fact.
std::vector<std::string> Describe(const DemoEnvironment& env, const std::string& id,
                                  std::initializer_list<const char*> headers) {
    std::string queue = env.connectorRoot + "/" + env.connector;
    std::string outgoing = queue + "/Outgoing/Messages/" + id;
    std::vector<std::string> facts;
    if (present(outgoing)) {
        auto body = platform::readFile(outgoing).value_or("");
        std::string text = "handed on";
        for (const char* header : headers) {
            std::string value = HeaderValue(body, header);
            if (!value.empty()) text += std::string(", ") + header + ": " + value;
        }
        facts.push_back(text);
    } else if (present(queue + "/Inbound/" + id)) {
        facts.push_back("still in Inbound");
    } else {
        facts.push_back("removed from the queue");
    }
    if (present(env.root + "/quarantine/" + id)) facts.push_back("copy in quarantine");
    if (present(env.root + "/mail/example.com/MAILROOT/alice/Junk/" + id))
        facts.push_back("copy in alice's Junk folder");
    return facts;
}

void PrintMessage(std::FILE* out, const std::string& id, const std::string& summary,
                  const std::vector<std::string>& facts, const std::vector<std::string>& filters) {
    std::fprintf(out, "  %s  %s\n", id.c_str(), summary.c_str());
    for (const std::string& fact : facts) std::fprintf(out, "      %s\n", fact.c_str());
    for (const std::string& filter : filters)
        std::fprintf(out, "      filter %s\n", filter.c_str());
}

struct DemoOptions {
    std::string dir;
    std::string library = AgentLibrary::defaultPath();
    bool verbose = false;
};

int demo(DemoOptions o) {
    const std::string& library = o.library;
    if (o.dir.empty())
        o.dir =
            platform::utf8FromPath(platform::pathFromUtf8(library).parent_path().parent_path()) +
            "/demo";
    const std::string& dir = o.dir;
    const bool verbose = o.verbose;
    RunSettings settings;
    settings.threads = 2;
    settings.eachMessage = false;  // the demo describes each message itself below
    DemoEnvironment env = CreateDemoEnvironment(
        dir, platform::utf8FromPath(platform::pathFromUtf8(library).parent_path()));
    AgentTraceDiversion traces(verbose);
    std::FILE* out = traces.console();
    std::fprintf(out, "Demo environment in %s (registry file %s)\n", env.root.c_str(),
                 env.registry.c_str());
    std::fprintf(out, "Filtering %zu queued messages of connector %s...\n\n", env.messages.size(),
                 env.connector.c_str());
    std::fflush(out);

    int status = RunQueue(env.registry, library, settings, out);
    if (status != 0) return status;

    std::string logName =
        platform::formatLocalTime("MTAFILTER-Report-%y%m%d.log", platform::systemNow());
    auto log = platform::readFile(env.logDirectory + "/" + logName);
    auto report = ReportByMessage(log.value_or(""));

    std::fprintf(out, "\nWhat the agent did:\n");
    std::set<std::string> queued;
    for (const DemoMessage& message : env.messages) {
        PrintMessage(out, message.id, message.summary,
                     Describe(env, message.id, {"Subject", "X-Spam-Reason", "X-Size-Check"}),
                     report[message.id]);
        queued.insert(message.id);
    }
    std::string outgoing = env.connectorRoot + "/" + env.connector + "/Outgoing/Messages";
    auto names = platform::listDirectory(outgoing);
    for (const std::string& id : std::set<std::string>(names.begin(), names.end())) {
        if (queued.count(id) == 0)
            PrintMessage(out, id, "queued by the agent", Describe(env, id, {"To", "Subject"}),
                         report[id]);
    }

    std::fprintf(out, "\nToday's report log (%s/%s):\n", env.logDirectory.c_str(), logName.c_str());
    std::fprintf(out, "%s", log ? log->c_str() : "(not written)\n");
    return 0;
}

}  // namespace

void AddDemoCommand(CommandLine& cli) {
    auto o = std::make_shared<DemoOptions>();
    CLI::App& command =
        cli.add(cli.root(), "demo", "build a demo mail environment and filter its queue",
                [o] { return demo(*o); });
    command
        .add_option("--dir", o->dir,
                    "where to build it (default: demo beside the library's folder)")
        ->type_name("DIR");
    command.add_option("--library", o->library, "the agent library")
        ->type_name("PATH")
        ->capture_default_str();
    command.add_flag("--verbose", o->verbose, "the agent's trace lines on standard error");
}

}  // namespace kz::tool
