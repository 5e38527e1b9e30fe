#pragma once

namespace kz::host {

struct ProcessState;

// Loads the antivirus plug-ins of the sibling filter agents named in "Processing Order".
// 1 when the list was walked, 0 when a named plug-in library could not be loaded.
int LoadAntivirusPlugins(ProcessState& state);

}  // namespace kz::host
