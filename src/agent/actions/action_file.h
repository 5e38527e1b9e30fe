#pragma once
// A filter's action file, read when the filter holds. Unchanged files are not read again:
// most filters act on many messages, and their action files rarely change.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "actions/action_line.h"

namespace kz::actions {

// The lines of the action file of `criteriaName` in the configuration folder as
// ReadConfigLines gives them now (the name matched without regard to case), parsed; null
// when the file cannot be read.
std::shared_ptr<const std::vector<ActionLine>> CurrentActionLines(std::string_view configuration,
                                                                  std::string_view criteriaName);

// The lines a run goes through when the filter holds: the enabled ones, up to and
// including the first that stops processing (the rest of the file is not read).
std::vector<const ActionLine*> LinesThatWouldRun(const std::vector<ActionLine>& lines);

}  // namespace kz::actions
