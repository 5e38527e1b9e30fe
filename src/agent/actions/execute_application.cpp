#include "actions/execute_application.h"

#include "base/format.h"
#include "base/text_limit.h"
#include "log/console_batch.h"
#include "log/trace.h"
#include "platform/clock.h"
#include "platform/process.h"

namespace kz::actions {

namespace {

constexpr TextLimit kPartLimit{512};
constexpr TextLimit kCommandLineLimit{2048};
constexpr TextLimit kExpandedLimit{2047};
constexpr TextLimit kDateLimit{200};

void ReplaceAll(std::string& line, std::string_view token, std::string_view value) {
    std::string result;
    std::size_t from = 0;
    for (std::size_t at; (at = line.find(token, from)) != std::string::npos;
         from = at + token.size()) {
        result.append(line, from, at - from);
        result += value;
    }
    result.append(line, from);
    line = std::string(kExpandedLimit.cut(result));
}

}  // namespace

std::string ExpandCommandLine(const MessageContext& context, std::string_view command,
                              std::string_view parameters) {
    std::string line(kPartLimit.cut(command));
    line += ' ';
    line += kPartLimit.cut(parameters);
    line = std::string(kCommandLineLimit.cut(line));
    log::Trace("Filter Event Raw Command:%s\n", line.c_str());
    ReplaceAll(line, "[ID]", context.messageId);
    ReplaceAll(line, "[CONNECTOR]", context.connectorName);
    if (line.find("[TIME]") != std::string::npos) {
        std::string date(kDateLimit.cut(platform::mailDateText(platform::systemNow())));
        ReplaceAll(line, "[TIME]", date);
    }
    log::Trace("Filter Event Command:%s\n", line.c_str());
    return line;
}

bool ExecuteApplication(const MessageContext& context, std::string_view command,
                        std::string_view parameters, std::chrono::milliseconds bound) {
    std::string line = ExpandCommandLine(context, command, parameters);
    log::FlushConsole();  // the program writes to the same output, after the lines before it
    platform::ProcessResult result = platform::runProcess(platform::splitCommandLine(line), bound);
    if (!result.started) {
        log::Trace("Pickup Event CreateProcess failed Error:%d (%s)\n", result.errorCode,
                   line.c_str());
        return false;
    }
    return true;
}

}  // namespace kz::actions
