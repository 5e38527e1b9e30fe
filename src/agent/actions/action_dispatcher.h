#pragma once
// The verdict of every filter and the actions of those that hold.

#include <cstddef>
#include <string>

#include "base/text_limit.h"
#include "filters/criteria_results.h"
#include "filters/filter_table.h"
#include "message/message_context.h"
#include "message/queue_publish.h"

namespace kz::actions {

// What the filters asked for and the run could not do.
struct Shortfall {
    bool copyNotKept = false;     // a quarantine or bad-mail copy failed
    bool editNotWritten = false;  // a header line, subject prefix or annotation was not written
    bool any() const { return copyNotKept || editNotWritten; }
};

// Runs the actions of the filters that hold; the report line goes into resultText (cut
// to resultLimit). True when an enabled action line ran or a verdict asked for it. The
// changes the actions make to the message file are written once: before an action that
// reads the files and at the end (each rewrite goes through `hook`); a report line that
// names such a change waits for its write and leaves it out when the write fails.
// Once a quarantine or bad-mail copy has failed, no later action of the run takes the
// message out of the queue (DELETE, MOVE): without its copy it would be lost.
// `shortfall`, when given, learns what could not be done.
bool ExecuteFilterActions(MessageContext& context, const filters::FilterTable& table,
                          filters::CriteriaResults& results, std::string& resultText,
                          TextLimit resultLimit, const QueueStepHook& hook = {},
                          Shortfall* shortfall = nullptr);

}  // namespace kz::actions
