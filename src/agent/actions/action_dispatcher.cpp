#include "actions/action_dispatcher.h"

#include <vector>

#include "actions/action_file.h"
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

namespace kz::actions {

namespace {

constexpr TextLimit kExecutedActionsLimit{2048};

// A keyword the report line of a filter names, as the action file spells it, and whether
// it is an edit still waiting for its write.
struct RecordedAction {
    std::string keyword;
    bool unwritten;
};

// The report line of a filter that holds, kept until the edits it names are written: an
// edit whose write fails is left out, as it was not carried out.
struct PendingReport {
    const filters::FilterDefinition* filter;
    std::vector<RecordedAction> actions;
    std::string criteriaText;
    bool audit = false;  // the actions would have run: "AUDIT:" and their keywords
};

constexpr std::string_view kAuditResult = "AUDIT";

struct DispatchState {
    DispatchState(const MessageContext& context, const filters::FilterTable& table,
                  std::string& resultText, TextLimit resultLimit, const QueueStepHook& hook)
        : context(context),
          table(table),
          resultText(resultText),
          resultLimit(resultLimit),
          edits(hook) {}
    DispatchState(const DispatchState&) = delete;
    DispatchState& operator=(const DispatchState&) = delete;
    // As when an action throws: what was done so far is written and reported.
    ~DispatchState() {
        try {
            settle();
        } catch (...) {
        }
    }

    // Writes the edits made so far, then the report lines that waited for them.
    void settle();
    // The report line of the filter whose actions just ran (in `executed`).
    void report(const filters::FilterDefinition& filter);
    // The report line of an audited filter that holds: what it would run.
    void audit(const filters::FilterDefinition& filter);

    const MessageContext& context;
    const filters::FilterTable& table;
    std::string& resultText;
    TextLimit resultLimit;
    std::string criteriaText;  // grows over the whole call
    bool stop = false;
    int result = 0;
    Shortfall shortfall;
    MessageEdits edits;
    std::vector<RecordedAction> executed;  // by the filter whose actions run

  private:
    void writeReports();
    bool unwrittenEdits = false;  // an edit is recorded before its write
    std::vector<PendingReport> reports;
};

void DispatchState::settle() {
    const bool written = edits.flush();
    if (!written) shortfall.editNotWritten = true;
    auto resolve = [written](std::vector<RecordedAction>& actions) {
        if (!written) std::erase_if(actions, [](const RecordedAction& a) { return a.unwritten; });
        for (RecordedAction& action : actions) action.unwritten = false;
    };
    resolve(executed);
    for (PendingReport& line : reports) resolve(line.actions);
    writeReports();
}

void DispatchState::report(const filters::FilterDefinition& filter) {
    if (executed.empty()) return;
    for (const RecordedAction& action : executed) unwrittenEdits |= action.unwritten;
    reports.push_back({&filter, std::move(executed), criteriaText});
    executed.clear();
    if (!unwrittenEdits) writeReports();
}

// Refused at load already when the name is not plain; such a filter cannot hold.
std::shared_ptr<const std::vector<ActionLine>> actionLinesOf(
    const filters::FilterDefinition& filter) {
    if (!filter.criteriaName.empty() && !config::IsPlainName(filter.criteriaName)) return nullptr;
    return CurrentActionLines(config::CurrentDirectories()->configuration, filter.criteriaName);
}

void DispatchState::audit(const filters::FilterDefinition& filter) {
    std::vector<RecordedAction> wouldRun;
    if (auto lines = actionLinesOf(filter)) {
        for (const ActionLine* line : LinesThatWouldRun(*lines))
            if (FindActionKeyword(line->keyword)) wouldRun.push_back({line->keyword, false});
    }
    reports.push_back({&filter, std::move(wouldRun), criteriaText, true});
    if (!unwrittenEdits) writeReports();
}

void DispatchState::writeReports() {
    std::vector<std::string> lines;
    for (const PendingReport& line : reports) {
        // The audit mark and its ":" come out of the column's room.
        const std::size_t room =
            kExecutedActionsLimit.maxLength() - (line.audit ? kAuditResult.size() + 1 : 0);
        std::string list;
        for (const RecordedAction& action : line.actions) {
            std::size_t needed = list.size() + (list.empty() ? 0 : 1) + action.keyword.size();
            if (needed > room) continue;  // a keyword that does not fit is left out
            if (!list.empty()) list += ',';
            list += action.keyword;
        }
        if (line.audit) list = std::string(kAuditResult) + (list.empty() ? "" : ":" + list);
        if (list.empty()) continue;
        // Cut to the buffer field by field: a cut line end would run it into the next line.
        resultText = log::ReportExecutedLine(
            {context.messageId, context.connectorName, line.filter->description, list,
             table.postofficeName, context.sender, context.clientIp, line.criteriaText,
             context.subject},
            resultLimit);
        lines.push_back(resultText);
    }
    log::DebugLogLines(lines);
    reports.clear();
    unwrittenEdits = false;
}

// Runs the enabled lines of the filter's action file, recording in state.executed.
void RunActionFile(MessageContext& context, const filters::FilterDefinition& filter,
                   const std::string& matchDescription, DispatchState& state) {
    auto lines = actionLinesOf(filter);
    if (!lines) return;
    for (const ActionLine& line : *lines) {
        if (state.stop) break;
        if (line.status != 1) {
            log::Trace("Bypassing Action. Status Disabled\n");
            continue;
        }
        state.result = 1;
        const ActionKeyword* keyword = FindActionKeyword(line.keyword);
        if (!keyword) continue;
        if (keyword->disposition == Disposition::Removes && state.shortfall.copyNotKept) {
            log::Trace("Not taking %s out of the queue: its copy could not be kept\n",
                       context.messageId.c_str());
            continue;
        }
        if (keyword->recording == Recording::Always)
            state.executed.push_back({line.keyword, false});
        // The description usually ends the line; its line end would break the Reason
        // line and the template lines of the notifications that show it.
        std::string_view description = filters::CutAtLineFeed(line.description);
        ActionCall call{context, filter, line.data, description, matchDescription, state.edits};
        if (keyword->files == FileUse::Reads) state.settle();
        bool succeeded = keyword->run(call);
        if (!succeeded && keyword->disposition == Disposition::KeepsCopy) {
            state.shortfall.copyNotKept = true;
            log::DebugLogf("Filter %s could not keep its copy (%s) of message %s\n",
                           filter.name.c_str(), line.keyword.c_str(), context.messageId.c_str());
        }
        if (keyword->stops) {
            state.stop = true;
            log::Trace("stop processing filters\n");
        } else if (succeeded && keyword->recording == Recording::OnSuccess) {
            state.executed.push_back({line.keyword, keyword->files == FileUse::Edits});
        }
    }
}

}  // namespace

bool ExecuteFilterActions(MessageContext& context, const filters::FilterTable& table,
                          filters::CriteriaResults& results, std::string& resultText,
                          TextLimit resultLimit, const QueueStepHook& hook, Shortfall* shortfall) {
    DispatchState state(context, table, resultText, resultLimit, hook);
    for (int position = 1; position <= table.filterCount() && !state.stop; ++position) {
        const filters::FilterDefinition& filter = table.filter(position);
        Verdict verdict = DecideFilter(position, filter, results, context, state.criteriaText);
        if (verdict.setsResult) state.result = verdict.result;
        if (!verdict.holds) continue;
        if (filter.audited) {
            log::Trace("Audited rule (%s) satisfied. Its actions (%s) are not run.\n",
                       filter.name.c_str(), filter.criteriaName.c_str());
            state.audit(filter);
            continue;
        }

        log::Trace("All for rule (%s) satisfied. Executing associated action (%s).\n",
                   filter.name.c_str(), filter.criteriaName.c_str());
        std::string matchDescription =
            BuildMatchDescription(context, verdict.criterionName, results.block(position));
        RunActionFile(context, filter, matchDescription, state);
        state.report(filter);
    }
    state.settle();
    if (shortfall) *shortfall = state.shortfall;
    return state.result != 0;
}

}  // namespace kz::actions
