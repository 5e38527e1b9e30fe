#pragma once
// The per-message driver: one filter run over one queued message.

#include <cstddef>
#include <string>
#include <string_view>

#include "base/text_limit.h"
#include "evaluate/message_evaluation.h"
#include "filters/criteria_results.h"
#include "filters/filter_table.h"
#include "host/run_control.h"
#include "message/message_context.h"

namespace kz::host {

// Returns the run's result (0 or 1); the dispatcher's report line lands in resultText.
int RunMessageFilters(RunControl& control, std::string_view connectorName,
                      std::string_view messageName, std::string& resultText, TextLimit resultLimit);

}  // namespace kz::host
