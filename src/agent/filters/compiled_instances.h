#pragma once
// The instances of each enabled criterion as the table loads them: the data, the cached
// word file it refers to, and its inline alternatives compiled, so that evaluations
// neither resolve paths nor match the alternatives one by one. Built once per load and
// read-only afterwards.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "filters/compiled_word_list.h"
#include "filters/pattern_cache.h"

namespace kz::filters {

struct FilterTable;
struct CriterionSlot;

struct CompiledInstance {
    std::string data;  // as CriterionSlot::instanceData gives it
    // With pattern caching: the cached word file the data refers to, when there is one.
    std::shared_ptr<const PatternList> cachedFile;
    // The inline alternatives, each whole: a caller's limit still applies to them.
    CompiledWordList alternatives;
};

struct CompiledInstances {
    std::vector<CompiledInstance> instances;  // as many as the slot has in the results
};

// The alternatives of an inline list, in order: the fields between tabs, as many as
// there are tabs after the first character plus one (none for empty data).
std::vector<std::string_view> InlineAlternatives(std::string_view data);

// Compiles the instances of every enabled slot, once the table and its pattern cache are
// loaded.
void CompileInstances(FilterTable& table);

// The compiled instance, or null when the slot was not compiled.
const CompiledInstance* FindCompiledInstance(const CriterionSlot& slot, int instance);

}  // namespace kz::filters
