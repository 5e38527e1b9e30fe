// kzmta explain: what a run would decide for one queued message or a message file,
// without running any action or changing any file.

#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>

#include "agent_session.h"
#include "agent_trace.h"
#include "command_line.h"
#include "commands.h"
#include "explain_output.h"
#include "file_envelope.h"
#include "held_message_files.h"
#include "mail_folder.h"

namespace kz::tool {

namespace {

// Queue names are single folder and file names: a path would read files outside the
// queue.
void checkQueueName(const std::string& option, const std::string& name) {
    if (name.find_first_of("/\\") != std::string::npos || name == "." || name == "..") {
        throw std::runtime_error(option + " takes a name, not a path: '" + name + "'");
    }
}

struct ExplainOptions {
    std::string registry;
    std::string file;
    std::string message;
    EnvelopeOptions envelope;
    bool json = false;
    bool verbose = false;
};

std::string readMessageFile(const std::string& path) {
    std::optional<FolderMessage> found;
    ReadMailFolders(
        {path},
        [&found](FolderMessage&& message) {
            if (!found) found = std::move(message);
        },
        [](const std::string& problem) { throw std::runtime_error(problem); });
    if (!found) throw std::runtime_error(path + " holds no message");
    if (found->cut) throw std::runtime_error(path + " is too large to explain");
    return std::move(found->text);
}

int explain(const ExplainOptions& o) {
    if (!o.file.empty() && !o.message.empty())
        throw UsageError("give a message FILE or --message, not both");
    if (o.file.empty() && o.envelope.connector.empty())
        throw UsageError("--connector is required for a queued message (or give a message FILE)");
    if (o.file.empty() && o.message.empty())
        throw UsageError("--message is required for a queued message (or give a message FILE)");
    RequireRegistryFile(o.registry);
    std::optional<ExplainReport> report;
    if (!o.file.empty()) {
        CheckEnvelopeOptions(o.envelope);
        const std::string queued = QueuedForm(readMessageFile(o.file));
        AgentTraceDiversion quiet(o.verbose);
        AgentSession session(o.registry);
        session.loadProviders();
        const filters::FilterTable& table = session.loadTable();
        MessageContext context;
        FillFileEnvelope(context, queued, o.envelope);
        HeldMessageFiles files(HeldFilesRoot(session), context, queued);
        report = ExplainHeldMessage(table, context, o.file);
    } else {
        checkQueueName("--connector", o.envelope.connector);
        checkQueueName("--message", o.message);
        AgentTraceDiversion quiet(o.verbose);
        AgentSession session(o.registry);
        session.loadProviders();
        const filters::FilterTable& table = session.loadTable();
        report = ExplainMessage(table, o.envelope.connector, o.message);
    }
    std::string out = o.json ? ExplainJson(*report) : ExplainText(*report);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

}  // namespace

void AddEnvelopeOptions(CLI::App& command, EnvelopeOptions& options) {
    command.add_option("--from", options.from, "the envelope sender")->type_name("ADDRESS");
    command.add_option("--rcpt", options.rcpt, "an envelope recipient (repeat for more)")
        ->type_name("ADDRESS");
    command.add_option("--ip", options.ip, "the client's IP address")->type_name("ADDRESS");
    command.add_option("--connector", options.connector, "the connector (default SMTP)")
        ->type_name("NAME");
    command
        .add_option("--authenticated", options.authenticated, "the sender authenticated as USER")
        ->type_name("USER");
}

void AddExplainCommand(CommandLine& cli) {
    auto o = std::make_shared<ExplainOptions>();
    o->envelope.connector.clear();  // a queued message names its connector
    CLI::App& command = cli.add(
        cli.root(), "explain",
        "show what a run would decide for a queued message or a message file, changing nothing",
        [o] {
            if (!o->file.empty() && o->envelope.connector.empty()) o->envelope.connector = "SMTP";
            return explain(*o);
        });
    AddRegistryOption(command, o->registry);
    command.add_option("FILE", o->file,
                       "a message file (.eml, CR LF or LF line ends) instead of a queued message");
    command.add_option("--message", o->message, "the message's command file in its Inbound folder")
        ->type_name("ID");
    AddEnvelopeOptions(command, o->envelope);
    command.add_flag("--json", o->json, "one JSON object instead of text");
    command.add_flag("--verbose", o->verbose, "the agent's trace lines on standard error");
    command.footer(
        "Without --from, --rcpt and --ip a message file's envelope comes from its headers: "
        "the sender from Return-Path or else From, the recipients from Delivered-To and "
        "X-Original-To or else To and Cc, the client address from the first Received "
        "header; the connector is SMTP.");
}

}  // namespace kz::tool
