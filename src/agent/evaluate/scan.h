#pragma once
// The scan of a message file into the values that criteria test.

#include "evaluate/evaluation.h"

namespace kz::evaluate {

// Non-zero when the message was scanned and its actions are to be run.
int ScanMessageMime(Evaluation& evaluation);
int ScanMessagePlain(Evaluation& evaluation);

}  // namespace kz::evaluate
