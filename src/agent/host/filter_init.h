#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/dynlib.h"

namespace kz::host {

// The antivirus plug-ins loaded by FilterInit; the last one is the AntivirusPlugin.
struct AntivirusPlugins {
    std::mutex mutex;
    std::vector<std::unique_ptr<platform::DynamicLibrary>> libraries;
};

// Loads the antivirus plug-ins of the sibling filter agents named in "Processing Order".
// 1 when the list was walked, 0 when a named plug-in library could not be loaded.
int LoadAntivirusPlugins(AntivirusPlugins& plugins);

}  // namespace kz::host
