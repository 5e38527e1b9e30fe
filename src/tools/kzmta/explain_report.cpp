#include "explain_report.h"

#include <stdexcept>

#include "actions/action_file.h"
#include "actions/action_keywords.h"
#include "actions/action_line.h"
#include "actions/filter_verdict.h"
#include "config/directories.h"
#include "config/paths.h"
#include "evaluate/message_evaluation.h"
#include "filters/config_lines.h"
#include "filters/criteria_script_text.h"
#include "platform/files.h"

namespace kz::tool {

namespace {

// The values offered to one kind, each cut for display; a cut value says how long it was.
std::vector<std::string> valuesOf(const std::vector<evaluate::OfferedValue>& offered, int kind) {
    std::vector<std::string> values;
    for (const evaluate::OfferedValue& value : offered) {
        if (value.kind != kind) continue;
        std::string text = value.value;
        if (value.fullSize > text.size()) {
            text += "... (" + std::to_string(value.fullSize) + " characters)";
        }
        values.push_back(std::move(text));
    }
    return values;
}

std::vector<CriterionReport> criteriaOf(const filters::FilterDefinition& filter,
                                        const filters::MatchResultBlock& block,
                                        const std::vector<evaluate::OfferedValue>& offered) {
    std::vector<CriterionReport> criteria;
    for (int kind = 0; kind < filters::kCriterionCount; ++kind) {
        const filters::CriterionSlot& slot = filter.slots[std::size_t(kind)];
        if (!slot.isEnabled()) continue;
        CriterionReport report;
        report.index = kind;
        report.keyword = std::string(filters::KindOf(kind).keyword);
        report.threshold = slot.threshold;
        report.instanceCount = slot.instanceCount;
        report.hitCount = block.hitCount[std::size_t(kind)];
        report.met = report.hitCount >= report.threshold;
        report.matchText = block.matchText[std::size_t(kind)];
        for (int j = 0; j < slot.resultInstanceCount(); ++j) {
            report.instanceValues.push_back(block.instanceValue[std::size_t(kind)][std::size_t(j)]);
        }
        report.values = valuesOf(offered, kind);
        criteria.push_back(std::move(report));
    }
    return criteria;
}

bool stopsProcessing(const std::vector<ActionReport>& actions) {
    for (const ActionReport& action : actions)
        if (action.stops) return true;
    return false;
}

FilterReport describeFilter(int position, const filters::FilterDefinition& filter) {
    FilterReport report;
    report.position = position;
    report.name = filter.name;
    report.criteriaName = filter.criteriaName;
    report.description = filter.description;
    report.isScript = filter.isScript;
    report.matchAll = filter.matchAll ? 1 : 0;
    report.audited = filter.audited;
    return report;
}

// The dispatcher's walk over the filters, without running any action.
struct FilterWalk {
    std::string criteriaText;  // grows over the walk as in a dispatcher call
    std::string stoppedBy;     // the filter whose actions stop processing
    std::string configuration = config::CurrentDirectories()->configuration;

    FilterReport decide(int position, const filters::FilterDefinition& filter, bool scanned,
                        filters::CriteriaResults& results, const MessageContext& message,
                        const std::vector<evaluate::OfferedValue>& offered) {
        FilterReport report = describeFilter(position, filter);
        report.criteria = criteriaOf(filter, results.block(position), offered);
        if (!scanned) {
            report.reached = false;
            report.note = "the message was not scanned, so no filter acts";
        } else if (!stoppedBy.empty()) {
            report.reached = false;
            report.note = "not reached: " + stoppedBy + " stops processing";
        } else {
            if (filter.isScript)
                report.script =
                    filters::GenerateCriteriaScript(position, filter, results, &message, false);
            const actions::Verdict verdict =
                actions::DecideFilter(position, filter, results, message, criteriaText);
            report.holds = verdict.holds;
            // A script's own result text; it becomes the report's criterion name.
            if (filter.isScript) report.scriptResult = verdict.criterionName;
        }
        if (report.holds) {
            report.actions = ActionsThatWouldRun(configuration, filter.criteriaName);
            // An audited filter runs none of them, its STOP_PROCESSING included.
            if (!filter.audited && stopsProcessing(report.actions))
                stoppedBy = "filter " + std::to_string(position);
        }
        return report;
    }
};

}  // namespace

std::vector<ActionReport> ActionsThatWouldRun(const std::string& configurationDirectory,
                                              const std::string& criteriaName) {
    std::vector<ActionReport> actions;
    auto lines = filters::ReadConfigLines(
        platform::resolvePath(config::ActionFilePath(configurationDirectory, criteriaName)));
    std::vector<actions::ActionLine> parsed;
    for (const std::string& text : lines.value_or(std::vector<std::string>()))
        parsed.push_back(actions::ParseActionLine(text));
    for (const actions::ActionLine* line : actions::LinesThatWouldRun(parsed)) {
        const actions::ActionKeyword* keyword = actions::FindActionKeyword(line->keyword);
        actions.push_back({line->keyword, line->data, line->description, keyword != nullptr,
                           keyword && keyword->stops});
    }
    return actions;
}

namespace {

// The message's envelope is in the context already.
ExplainReport explainPrepared(const filters::FilterTable& table, MessageContext& context,
                              ExplainReport report) {
    filters::CriteriaResults results;
    filters::AllocateResults(table, results);
    evaluate::Evaluation evaluation(table, results, &context);
    evaluation.keepOfferedValues();
    report.scanned = evaluate::EvaluateMessage(evaluation) != 0;

    FilterWalk walk;
    for (int position = 1; position <= table.filterCount(); ++position) {
        report.filters.push_back(walk.decide(position, table.filter(position), report.scanned,
                                             results, context, evaluation.offeredValues()));
    }
    filters::ReleaseResults(results);
    return report;
}

}  // namespace

ExplainReport ExplainMessage(const filters::FilterTable& table, const std::string& connector,
                             const std::string& message) {
    ExplainReport report;
    report.connector = connector;
    report.message = message;
    if (table.filterCount() < 1) return report;  // a run reads nothing either
    MessageContext context;
    context.readOnly = true;
    if (!evaluate::PrepareMessage(context, connector, message)) {
        throw std::runtime_error("cannot read the envelope of message " + message +
                                 " in connector " + connector);
    }
    return explainPrepared(table, context, std::move(report));
}

ExplainReport ExplainHeldMessage(const filters::FilterTable& table, MessageContext& context,
                                 const std::string& label) {
    ExplainReport report;
    report.connector = context.connectorName;
    report.message = label;
    if (table.filterCount() < 1) return report;
    context.readOnly = true;
    return explainPrepared(table, context, std::move(report));
}

}  // namespace kz::tool
