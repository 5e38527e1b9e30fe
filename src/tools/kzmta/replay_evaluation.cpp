#include "replay_evaluation.h"

#include "actions/filter_verdict.h"
#include "evaluate/message_evaluation.h"
#include "explain_report.h"

namespace kz::tool {

TablePlan PlanOf(const filters::FilterTable& table) {
    TablePlan plan;
    for (int position = 1; position <= table.filterCount(); ++position) {
        const filters::FilterDefinition& definition = table.filter(position);
        TablePlan::Filter filter;
        filter.description = definition.description;
        filter.audited = definition.audited;
        for (const ActionReport& action :
             ActionsThatWouldRun(table.configurationDirectory, definition.criteriaName)) {
            if (!action.known) continue;  // runs nothing
            filter.actions += (filter.actions.empty() ? "" : ",") + action.keyword;
            filter.stops |= action.stops;
        }
        plan.filters.push_back(std::move(filter));
    }
    return plan;
}

Outcome EvaluateHeld(const filters::FilterTable& table, const TablePlan& plan,
                     MessageContext& context) {
    Outcome outcome;
    if (table.filterCount() < 1) return outcome;
    context.readOnly = true;
    filters::CriteriaResults results;
    filters::AllocateResults(table, results);
    evaluate::Evaluation evaluation(table, results, &context);
    outcome.scanned = evaluate::EvaluateMessage(evaluation);
    std::string criteriaText;  // grows over the walk as in a dispatcher call
    for (int position = 1; outcome.scanned && position <= table.filterCount(); ++position) {
        if (!actions::DecideFilter(position, table.filter(position), results, context, criteriaText)
                 .holds)
            continue;
        outcome.holding.push_back(position);
        const TablePlan::Filter& filter = plan.filters[std::size_t(position - 1)];
        if (filter.stops && !filter.audited) break;
    }
    filters::ReleaseResults(results);
    return outcome;
}

}  // namespace kz::tool
