#pragma once
// The verdict of a filter whose criteria are a script.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/text_limit.h"
#include "filters/criteria_results.h"
#include "filters/filter_table.h"
#include "message/message_context.h"

namespace kz::filters {

// Runs the filter's generated script and returns the value of its KZ_Execute (0 when
// the script cannot be run); the filter holds when it is exactly 1. When the value is
// not 0, resultText holds the script's KZ_GetResultData (cut to
// resultLimit). The envelope values come from the message.
int32_t RunCriteriaScript(int position, const FilterDefinition& filter, CriteriaResults& results,
                          const MessageContext* message, std::string& resultText,
                          TextLimit resultLimit);

}  // namespace kz::filters
