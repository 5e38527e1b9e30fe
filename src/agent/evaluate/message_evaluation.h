#pragma once
// The evaluation part of a message run: the envelope, the envelope criteria and the scan.
// The run and the tool that explains a run's decisions share it, so both see a message
// the same way.

#include <string_view>

#include "filters/criteria_results.h"
#include "filters/filter_table.h"
#include "message/message_context.h"

namespace kz::host {

// Rereads the per-run directories, names the message in the context and reads its
// envelope. False (after the console line) when the command file cannot be read.
bool PrepareMessage(MessageContext& context, std::string_view connectorName,
                    std::string_view messageName);

// The envelope criteria, then the scan, into results allocated for the table. Non-zero
// when the message was scanned and its actions are to be run.
int EvaluateMessage(MessageContext& context, const filters::FilterTable& table,
                    filters::CriteriaResults& results);

// Chooses the MIME-aware or the plain scan by the "Filter MIME" setting.
int ScanMessageContent(MessageContext& context, const filters::FilterTable& table,
                       filters::CriteriaResults& results);

// The criteria that test the envelope, evaluated over every filter before the scan.
void EvaluateEnvelopeCriteria(const MessageContext& context, const filters::FilterTable& table,
                              filters::CriteriaResults& results);

}  // namespace kz::host
