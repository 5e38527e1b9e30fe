#pragma once
// Whether a filter holds, from its hit counts against its thresholds or its script,
// and the criteria entries it adds to the call's criteria text.

#include <string>

#include "filters/criteria_results.h"
#include "filters/filter_table.h"
#include "message/message_context.h"

namespace kz::actions {

struct Verdict {
    bool holds = false;
    bool setsResult = false;  // table filters set the dispatcher result, scripts do not
    int result = 0;
    std::string criterionName;  // keyword of the last met criterion, or the script's text
    std::string criterionData;  // match text of the last met criterion
};

// criteriaText grows over the whole dispatcher call; entries are separated by "|".
Verdict DecideFilter(int position, const filters::FilterDefinition& filter,
                     filters::CriteriaResults& results, const MessageContext& message,
                     std::string& criteriaText);

}  // namespace kz::actions
