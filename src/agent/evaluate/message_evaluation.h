#pragma once
// The evaluation part of a message run: the envelope, the envelope criteria and the scan.
// The run and the tool that explains a run's decisions share it, so both see a message
// the same way.

#include <string_view>

#include "evaluate/evaluation.h"

namespace kz::evaluate {

// Rereads the per-run directories, names the message in the context and reads its
// envelope. False (after the console line) when the command file cannot be read.
bool PrepareMessage(MessageContext& context, std::string_view connectorName,
                    std::string_view messageName);

// The envelope criteria, then the scan, into results allocated for the table. True
// when the message was scanned and its actions are to be run.
bool EvaluateMessage(Evaluation& evaluation);

// Chooses the MIME-aware or the plain scan by the "Filter MIME" setting.
bool ScanMessageContent(Evaluation& evaluation);

// The criteria that test the envelope, evaluated over every filter before the scan.
void EvaluateEnvelopeCriteria(Evaluation& evaluation);

}  // namespace kz::evaluate
