#include "milter_options.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <thread>

#include "tools/kzmta/agent_library.h"

namespace kz::tool {

namespace {

bool IsDigits(const std::string& s, std::size_t from, std::size_t count) {
    if (s.size() < from + count) return false;
    for (std::size_t i = from; i < from + count; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
    }
    return true;
}

}  // namespace

SmtpReply ParseRejectReply(const std::string& text) {
    SmtpReply reply;
    if (!IsDigits(text, 0, 3) || text[0] != '5' || (text.size() > 3 && text[3] != ' '))
        throw std::runtime_error("--reject needs a 5xx reply such as '550 5.7.1 Refused', not '" +
                                 text + "'");
    reply.code = text.substr(0, 3);
    std::string rest = text.size() > 4 ? text.substr(4) : std::string();
    std::size_t blank = rest.find(' ');
    std::string first = rest.substr(0, blank);
    if (first.size() >= 5 && first[0] == '5' && first[1] == '.' &&
        first.find_first_not_of("0123456789.") == std::string::npos) {
        reply.enhanced = first;
        rest = blank == std::string::npos ? std::string() : rest.substr(blank + 1);
    }
    if (rest.find_first_of("\r\n%") != std::string::npos)
        throw std::runtime_error("--reject text must be one line without '%'");
    reply.text = rest.empty() ? "Message refused" : rest;
    return reply;
}

void AddMilterOptions(CommandLine& cli, std::function<int(const MilterOptions&)> run) {
    // What CLI11 fills; turned into MilterOptions and checked when the command runs.
    struct Given {
        MilterOptions options;
        std::string socketMode, reject;
        uint64_t timeout = 120, expiry = 24, maxSize = 50u << 20, memoryLimit = 256u << 20;
    };
    auto given = std::make_shared<Given>();
    given->options.library = AgentLibrary::defaultPath();
    given->options.threads = std::max(1u, std::thread::hardware_concurrency());
    CLI::App& milter = cli.add(
        cli.root(), "milter", "filter an MTA's mail over the milter protocol", [given, run] {
            MilterOptions options = given->options;
            const std::string& socket = options.socket;
            if (socket.rfind("unix:", 0) != 0 && socket.rfind("local:", 0) != 0 &&
                socket.rfind("inet:", 0) != 0 && socket.rfind("inet6:", 0) != 0)
                throw UsageError("--socket must start with unix: or inet:, not '" + socket + "'");
            if (!given->socketMode.empty()) {
                std::size_t used = 0;
                try {
                    options.socketMode = unsigned(std::stoul(given->socketMode, &used, 8));
                } catch (const std::exception&) {
                }
                if (used == 0 || used != given->socketMode.size() || options.socketMode > 0777)
                    throw UsageError("--socket-mode needs an octal mode such as 660");
            }
            if (!given->reject.empty()) {
                options.rejectRemoved = true;
                try {
                    options.reject = ParseRejectReply(given->reject);
                } catch (const std::runtime_error& e) {
                    throw UsageError(e.what());
                }
            }
            options.maxSize = std::size_t(given->maxSize);
            options.memoryLimit = std::size_t(given->memoryLimit);
            options.timeout = std::chrono::seconds(given->timeout);
            options.handOffExpiry = std::chrono::hours(given->expiry);
            RequireRegistryFile(options.registry);
            return run(options);
        });
    MilterOptions& o = given->options;
    AddRegistryOption(milter, o.registry);
    milter.add_option("--socket", o.socket, "where the MTA connects")
        ->type_name("unix:PATH|inet:PORT@HOST")
        ->required();
    milter.add_option("--socket-mode", given->socketMode, "a Unix socket's mode (default 660)")
        ->type_name("OCTAL");
    milter.add_option("--library", o.library, "the agent library")
        ->type_name("PATH")
        ->capture_default_str();
    AddNumberOption(milter, "--threads", o.threads,
                    "agent runs at one time (default: one per processor)", 1, 1024);
    milter
        .add_option("--reject", given->reject,
                    "reject a message the agent removed with this 5xx reply instead of "
                    "discarding it, e.g. '550 5.7.1 Refused'")
        ->type_name("TEXT");
    milter.add_option("--sendmail", o.sendmail, "the MTA's sendmail command for new messages")
        ->type_name("PATH")
        ->capture_default_str();
    milter.add_option("--submit", o.submit, "hand new messages to the MTA by SMTP instead")
        ->type_name("HOST:PORT");
    AddNumberOption(milter, "--max-size", given->maxSize, "bytes of one message (default 52428800)",
                    1, UINT32_MAX);
    AddNumberOption(milter, "--timeout", given->timeout,
                    "seconds one agent run may take (default 120)", 1, 86400);
    AddNumberOption(milter, "--memory-limit", given->memoryLimit,
                    "bytes of mail all connections hold in memory (default 268435456)", 65536,
                    UINT64_MAX);
    milter.add_flag("--hand-off-returns", o.handOffReturns,
                    "new messages handed to the MTA come back through this milter");
    AddNumberOption(milter, "--hand-off-expiry", given->expiry,
                    "hours a refused new message is offered before it goes to bad mail "
                    "(default 24)",
                    1, 24 * 365);
    milter.add_flag("--verbose", o.verbose, "the agent's trace lines on standard error");
}

}  // namespace kz::tool
