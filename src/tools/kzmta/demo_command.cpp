// kzmta demo: builds the demo environment, filters its queue and shows what happened.

#include <cstdio>
#include <filesystem>

#include "agent_library.h"
#include "commands.h"
#include "demo_environment.h"
#include "message/header_params.h"
#include "platform/clock.h"
#include "platform/files.h"

namespace kz::tool {

namespace {

namespace fs = std::filesystem;

std::string HeaderValue(const std::string& message, const std::string& name) {
    std::string_view headers(message);
    std::size_t end = headers.find("\r\n\r\n");
    if (end != std::string_view::npos) headers = headers.substr(0, end + 2);
    return GetHeaderFieldValue(headers, name, false).value_or("");
}

std::string Describe(const DemoEnvironment& env, const DemoMessage& message) {
    std::string queue = env.connectorRoot + "/" + env.connector;
    std::string outgoing = queue + "/Outgoing/Messages/" + message.id;
    std::string text;
    if (fs::exists(outgoing)) {
        auto body = platform::readFile(outgoing).value_or("");
        text = "handed on, Subject: " + HeaderValue(body, "Subject");
        for (const char* header : {"X-Spam-Reason", "X-Size-Check"}) {
            std::string value = HeaderValue(body, header);
            if (!value.empty()) text += std::string(", ") + header + ": " + value;
        }
    } else if (fs::exists(queue + "/Inbound/" + message.id)) {
        text = "still in Inbound";
    } else {
        text = "removed from the queue";
    }
    if (fs::exists(env.root + "/quarantine/" + message.id)) text += "; copy in quarantine";
    return text;
}

void PrintReportLog(const DemoEnvironment& env) {
    std::string name =
        platform::formatLocalTime("MTAFILTER-Report-%y%m%d.log", platform::systemNow());
    auto log = platform::readFile(env.logDirectory + "/" + name);
    std::printf("\nToday's report log (%s/%s):\n", env.logDirectory.c_str(), name.c_str());
    std::printf("%s", log ? log->c_str() : "(not written)\n");
}

}  // namespace

int runDemoCommand(const Args& argsIn) {
    Args args = argsIn;
    std::string dir;
    std::string library;
    if (!takeOption(args, "--library", library)) library = AgentLibrary::defaultPath();
    if (!takeOption(args, "--dir", dir))
        dir = fs::path(library).parent_path().parent_path().string() + "/demo";
    if (!args.empty()) throw std::runtime_error("unexpected argument '" + args.front() + "'");

    DemoEnvironment env = CreateDemoEnvironment(dir, fs::path(library).parent_path().string());
    std::printf("Demo environment in %s (registry file %s)\n", env.root.c_str(),
                env.registry.c_str());
    std::printf("Filtering %zu queued messages of connector %s...\n\n", env.messages.size(),
                env.connector.c_str());
    std::fflush(stdout);

    int status = RunQueue(env.registry, library, 2, false, false);
    if (status != 0) return status;

    std::printf("\nWhat the agent did:\n");
    for (const DemoMessage& message : env.messages) {
        std::printf("  %-36s %-40s %s\n", message.id.c_str(), message.summary.c_str(),
                    Describe(env, message).c_str());
    }
    PrintReportLog(env);
    return 0;
}

}  // namespace kz::tool
