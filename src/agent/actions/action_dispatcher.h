#pragma once
// The verdict of every filter and the actions of those that hold.

#include <cstddef>
#include <string>

#include "base/text_limit.h"
#include "filters/criteria_results.h"
#include "filters/filter_table.h"
#include "message/message_context.h"

namespace kz::actions {

// Runs the actions of the filters that hold; the report line goes into resultText (cut
// to resultLimit). Returns 0 or 1.
int ExecuteFilterActions(MessageContext& context, const filters::FilterTable& table,
                         filters::CriteriaResults& results, std::string& resultText,
                         TextLimit resultLimit);

}  // namespace kz::actions
