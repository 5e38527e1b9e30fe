// kzmta: the stand-in for the mail transfer agent and the administrator's tool.

#include "command_line.h"
#include "commands.h"
#include "platform/arguments.h"
#include "platform/console.h"

int main(int argc, char** argv) {
    kz::platform::showUtf8OnConsole();
    kz::tool::CommandLine cli;
    kz::tool::AddRegCommand(cli);
    kz::tool::AddRunCommand(cli);
    kz::tool::AddReloadCommand(cli);
    kz::tool::AddDemoCommand(cli);
    kz::tool::AddExplainCommand(cli);
    kz::tool::AddReplayCommand(cli);
    kz::tool::AddInspectCommand(cli);
    kz::tool::AddCheckConfigCommand(cli);
#ifndef _WIN32
    kz::tool::AddMilterCommand(cli);
#endif
    kz::tool::AddWebCommand(cli);
    kz::tool::AddBayesCommand(cli);
    kz::tool::AddQuarantineCommand(cli);
    kz::tool::AddStatsCommand(cli);
    kz::tool::AddKeywordsCommand(cli);
    return cli.run(kz::platform::programArguments(argc, argv));
}
