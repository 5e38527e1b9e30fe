#pragma once
// The scan of a message file into the values that criteria test.

#include "filters/criteria_results.h"
#include "filters/filter_table.h"
#include "message/message_context.h"

namespace kz {

// Non-zero when the message was scanned and its actions are to be run.
int ScanMessageMime(MessageContext& context, const filters::FilterTable& table,
                    filters::CriteriaResults& results);
int ScanMessagePlain(MessageContext& context, const filters::FilterTable& table,
                     filters::CriteriaResults& results);

}  // namespace kz
