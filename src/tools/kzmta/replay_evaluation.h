#pragma once
// What a filter table would do with a message held in memory: which filters hold, and
// the action lines each would run. The run's own evaluation and verdicts, without the
// dispatcher: nothing is written and no action runs.

#include <string>
#include <vector>

#include "filters/filter_table.h"
#include "message/message_context.h"

namespace kz::tool {

// The table's action files, read once for all messages.
struct TablePlan {
    struct Filter {
        std::string description;
        bool audited = false;
        bool stops = false;   // an enabled STOP_PROCESSING line would run
        std::string actions;  // the keywords that would run, comma-separated
    };
    std::vector<Filter> filters;  // position p is filters[p - 1]
};

TablePlan PlanOf(const filters::FilterTable& table);

struct Outcome {
    bool scanned = false;
    std::vector<int> holding;  // positions of the filters that hold, as far as a run gets
};

// The context holds the message (heldText) and its envelope.
Outcome EvaluateHeld(const filters::FilterTable& table, const TablePlan& plan,
                     MessageContext& context);

}  // namespace kz::tool
