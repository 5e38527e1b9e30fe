#pragma once
// kzmta bayes learn and forget: the messages of files, folders, Maildirs and mbox files
// taught to the classifier library in batches, with a progress line and a summary.

#include <cstdint>
#include <string>
#include <vector>

#include "bayes_library.h"

namespace kz::tool {

struct TeachRequest {
    bool learn = true;  // else forget
    bool spam = true;
    std::vector<std::string> paths;
    uint64_t maxSize = 0;  // larger messages are skipped; 0: none
    bool progress = false;
};

struct TeachSummary {
    uint64_t changed = 0;     // learned, or forgotten
    uint64_t unchanged = 0;   // already known, or not learned
    uint64_t skipped = 0;     // over the size limit
    uint64_t unreadable = 0;  // could not be read or taught
    uint64_t total() const { return changed + unchanged + skipped + unreadable; }
};

// Teaches every message under the paths; what could not be read is named on standard
// error and the walk goes on.
TeachSummary TeachFromFolders(const Classifier& classifier, const TeachRequest& request);

}  // namespace kz::tool
