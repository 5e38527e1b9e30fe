#include "actions/action_dispatcher.h"

#include "actions/action_keywords.h"
#include "actions/action_line.h"
#include "actions/filter_verdict.h"
#include "actions/match_description.h"
#include "base/format.h"
#include "base/text_limit.h"
#include "config/directories.h"
#include "config/paths.h"
#include "filters/config_lines.h"
#include "log/debug_log.h"
#include "log/report_lines.h"
#include "log/trace.h"
#include "platform/files.h"

namespace kz::actions {

namespace {

constexpr TextLimit kExecutedActionsLimit{2048};

struct DispatchState {
    explicit DispatchState(const QueueStepHook& hook) : edits(hook) {}

    std::string criteriaText;  // grows over the whole call
    bool stop = false;
    int result = 0;
    MessageEdits edits;
};

void RecordAction(std::string& executed, std::string_view keyword) {
    std::size_t needed = executed.size() + (executed.empty() ? 0 : 1) + keyword.size();
    if (needed > kExecutedActionsLimit.maxLength())
        return;  // a keyword that does not fit is left out
    if (!executed.empty()) executed += ',';
    executed += keyword;
}

// Runs the enabled lines of the filter's action file; returns the recorded keywords.
std::string RunActionFile(MessageContext& context, const filters::FilterDefinition& filter,
                          const std::string& matchDescription, DispatchState& state) {
    std::string executed;
    // Refused at load already; the filter cannot hold.
    if (!filter.criteriaName.empty() && !config::IsPlainName(filter.criteriaName)) return executed;
    auto dirs = config::CurrentDirectories();
    auto lines = filters::ReadConfigLines(
        platform::resolvePath(config::ActionFilePath(dirs->configuration, filter.criteriaName)));
    if (!lines) return executed;
    for (const std::string& text : *lines) {
        if (state.stop) break;
        ActionLine line = ParseActionLine(text);
        if (line.status != 1) {
            log::Trace("Bypassing Action. Status Disabled\n");
            continue;
        }
        state.result = 1;
        const ActionKeyword* keyword = FindActionKeyword(line.keyword);
        if (!keyword) continue;
        if (keyword->recording == Recording::Always) RecordAction(executed, line.keyword);
        // The description usually ends the line; its line end would break the Reason
        // line and the template lines of the notifications that show it.
        std::string_view description = filters::CutAtLineFeed(line.description);
        ActionCall call{context, filter, line.data, description, matchDescription, state.edits};
        if (keyword->files == FileUse::Reads) state.edits.flush();
        bool succeeded = keyword->run(call);
        if (keyword->stops) {
            state.stop = true;
            log::Trace("stop processing filters\n");
        } else if (succeeded && keyword->recording == Recording::OnSuccess) {
            RecordAction(executed, line.keyword);
        }
    }
    return executed;
}

void WriteReportLine(const MessageContext& context, const filters::FilterTable& table,
                     const filters::FilterDefinition& filter, const std::string& executed,
                     const std::string& criteriaText, std::string& resultText,
                     TextLimit resultLimit) {
    // Cut to the buffer field by field: a cut line end would run it into the next line.
    resultText = log::ReportExecutedLine(
        {context.messageId, context.connectorName, filter.description, executed,
         table.postofficeName, context.sender, context.clientIp, criteriaText, context.subject},
        resultLimit);
    log::DebugLog(resultText);
}

}  // namespace

int ExecuteFilterActions(MessageContext& context, const filters::FilterTable& table,
                         filters::CriteriaResults& results, std::string& resultText,
                         TextLimit resultLimit, const QueueStepHook& hook) {
    DispatchState state(hook);
    for (int position = 1; position <= table.filterCount() && !state.stop; ++position) {
        const filters::FilterDefinition& filter = table.filter(position);
        Verdict verdict = DecideFilter(position, filter, results, context, state.criteriaText);
        if (verdict.setsResult) state.result = verdict.result;
        if (!verdict.holds) continue;

        log::Trace("All for rule (%s) satisfied. Executing associated action (%s).\n",
                   filter.name.c_str(), filter.criteriaName.c_str());
        std::string matchDescription =
            BuildMatchDescription(context, verdict.criterionName, results.block(position));
        std::string executed = RunActionFile(context, filter, matchDescription, state);
        if (!executed.empty()) {
            WriteReportLine(context, table, filter, executed, state.criteriaText, resultText,
                            resultLimit);
        }
    }
    state.edits.flush();
    return state.result;
}

}  // namespace kz::actions
