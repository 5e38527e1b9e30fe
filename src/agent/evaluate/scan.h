#pragma once
// The scan of a message file into the values that criteria test.

#include "evaluate/evaluation.h"

namespace kz::evaluate {

// True when the message was scanned and its actions are to be run.
bool ScanMessageMime(Evaluation& evaluation);
bool ScanMessagePlain(Evaluation& evaluation);

}  // namespace kz::evaluate
