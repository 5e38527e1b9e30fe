#pragma once
// Word files read afresh at every evaluation (pattern caching off) are compiled once per
// version: while a file keeps its size and modification time, its lines are the ones
// read before. Shared by all runs of the process.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "filters/compiled_word_list.h"

namespace kz::filters {

// The lines of the word file at `path` as read now, line feeds removed; none when it
// cannot be read.
std::optional<std::vector<std::string>> ReadWordFileLines(const std::string& path);

// The lines of the word file at `path` as ReadConfigLines gives them (line feeds
// removed), prepared for a shared search; null when the file cannot be read. `kept` (when
// given) tells whether this version is kept for the runs after, or is read again by each
// because it changed too recently.
std::shared_ptr<const CompiledWordList> CurrentWordFile(const std::string& path,
                                                        bool* kept = nullptr);

}  // namespace kz::filters
