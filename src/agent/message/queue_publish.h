#pragma once
// Files the MTA reads appear whole or not at all: the content is written under another
// name first and then renamed over the target.

#include <functional>
#include <string_view>

namespace kz {

// Consulted before each step that changes a queue file, with the step's name; false
// makes that step fail as a failing file system would. Tests break operations at each
// step with it and look at the files in between.
using QueueStepHook = std::function<bool(std::string_view step)>;

inline constexpr std::string_view kStepWriteTemporary = "write temporary";
inline constexpr std::string_view kStepReplaceTarget = "replace target";

// True when the step may go ahead (always, without a hook).
bool QueueStepAllowed(const QueueStepHook& hook, std::string_view step);

// Writes `content` whole under `temporary` (in the target's folder) and flushes it, then
// renames it over `target` and flushes the folder, so the new file survives a power loss
// under its name; a replaced target keeps its permissions. On failure the temporary is
// gone and `target` is as it was.
bool PublishFile(std::string_view target, std::string_view temporary, std::string_view content,
                 const QueueStepHook& hook = {});

}  // namespace kz
