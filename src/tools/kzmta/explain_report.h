#pragma once
// What a run would decide for one queued message: per filter whether it holds, why,
// and the action lines it would run. Built by the same evaluation as a run, with the
// message context marked read-only; no action runs.

#include <string>
#include <vector>

#include "filters/filter_table.h"
#include "message/message_context.h"

namespace kz::tool {

struct CriterionReport {
    int index = 0;
    std::string keyword;
    int threshold = 0;
    int instanceCount = 0;
    int hitCount = 0;
    bool met = false;  // hit count reached the threshold
    std::string matchText;
    std::vector<std::string> instanceValues;  // at most 16
    std::vector<std::string> values;          // what the kind was offered, in order
};

struct ActionReport {
    std::string keyword;  // as the action file spells it
    std::string data;
    std::string description;
    bool known = false;  // an action keyword; any other runs nothing
    bool stops = false;  // STOP_PROCESSING
};

struct FilterReport {
    int position = 0;
    std::string name;
    std::string criteriaName;
    std::string description;
    bool isScript = false;
    int matchAll = 0;
    bool audited = false;  // holding, it only writes a report line of what it would run
    bool reached = true;   // false after a filter that stops processing, or without a scan
    bool holds = false;
    std::string note;                       // why a filter was not decided as usual
    std::string script;                     // the generated script of a script filter
    std::string scriptResult;               // what that script left as its result text
    std::vector<CriterionReport> criteria;  // the enabled slots only
    std::vector<ActionReport> actions;      // enabled lines of a filter that holds
};

struct ExplainReport {
    std::string connector;
    std::string message;
    bool scanned = false;
    std::vector<FilterReport> filters;
};

// Evaluates the message against the table. Throws when its envelope cannot be read.
ExplainReport ExplainMessage(const filters::FilterTable& table, const std::string& connector,
                             const std::string& message);

// The same for a message held in memory: the context's heldText and envelope are set.
ExplainReport ExplainHeldMessage(const filters::FilterTable& table, MessageContext& context,
                                 const std::string& label);

// The enabled lines of a filter's action file that a run would carry out, up to and
// including the first STOP_PROCESSING.
std::vector<ActionReport> ActionsThatWouldRun(const std::string& configurationDirectory,
                                              const std::string& criteriaName);

}  // namespace kz::tool
