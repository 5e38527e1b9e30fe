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

// What becomes of a message whose run could not do what its filters asked (a quarantine
// or bad-mail copy failed, a rewrite was not written) and which is still queued.
enum class UndoneRun {
    // The MTA reads no result: the message goes to bad mail instead of on unmarked or
    // unchecked, and stays queued only when no copy can be kept there either.
    KeepInBadMail,
    // The caller reads the outcome and asks for the message again later.
    LeaveQueued,
};

struct RunOutcome {
    int result = 0;       // the run's result (0 or 1)
    bool undone = false;  // the filters asked for what could not be done; see UndoneRun
};

// One filter run; the dispatcher's report line lands in resultText.
RunOutcome RunMessageFilters(RunControl& control, std::string_view connectorName,
                             std::string_view messageName, std::string& resultText,
                             TextLimit resultLimit, UndoneRun undone = UndoneRun::KeepInBadMail);

}  // namespace kz::host
