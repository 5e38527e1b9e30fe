#pragma once
// The per-message driver: one filter run over one queued message.

#include <cstddef>
#include <string>
#include <string_view>

#include "filters/criteria_results.h"
#include "filters/filter_table.h"
#include "host/run_control.h"
#include "message/message_context.h"

namespace kz::host {

// Returns the run's result (0 or 1); the dispatcher's report line lands in resultText.
int RunMessageFilters(RunControl& control, std::string_view connectorName,
                      std::string_view messageName, std::string& resultText,
                      std::size_t resultSize);

// Chooses the MIME-aware or the plain scan by the "Filter MIME" setting.
int ScanMessageContent(MessageContext& context, const filters::FilterTable& table,
                       filters::CriteriaResults& results);

// The criteria that test the envelope, evaluated over every filter before the scan.
void EvaluateEnvelopeCriteria(const MessageContext& context, const filters::FilterTable& table,
                              filters::CriteriaResults& results);

}  // namespace kz::host
