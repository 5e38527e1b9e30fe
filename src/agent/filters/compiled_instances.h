#pragma once
// The instances of each enabled criterion as the table loads them: the data, the cached
// word file it refers to, and its inline alternatives compiled, so that evaluations
// neither resolve paths nor match the alternatives one by one. The lists of every kind
// matched by word lists are searched together (one pass over a text for all filters).
// Built once per load and read-only afterwards.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "filters/compiled_word_search.h"
#include "filters/pattern_cache.h"

namespace kz::filters {

struct FilterTable;
struct CriterionSlot;

struct CompiledInstance {
    static constexpr std::uint32_t kNoList = UINT32_MAX;

    std::string data;  // as CriterionSlot::instanceData gives it
    // With pattern caching: the cached word file the data refers to, when there is one,
    // and its place among the kind's fixed lists.
    std::shared_ptr<const PatternList> cachedFile;
    std::uint32_t cachedFileList = kNoList;
    // The inline alternatives, each whole (a caller's limit still applies to them), and
    // their place among the kind's fixed lists.
    WordListRef alternatives;
    std::uint32_t alternativesList = kNoList;
    // Asked at every offer of a text, so worked out once.
    int fieldCount = 0;           // the data's tab-separated fields
    bool mentionsSender = false;  // the data holds the sender token
};

struct CompiledInstances {
    std::vector<CompiledInstance> instances;  // as many as the slot has in the results
    // Every list of the slot's kind, over all filters; the same for each slot of the kind.
    std::shared_ptr<const KindWordSearch> search;
};

// The alternatives of an inline list, in order: the fields between tabs, as many as
// there are tabs after the first character plus one (none for empty data).
std::vector<std::string_view> InlineAlternatives(std::string_view data);

// Compiles the instances of every enabled slot of the kinds matched by word lists, once
// the table and its pattern cache are loaded.
void CompileInstances(FilterTable& table);

// The compiled instance, or null when the slot was not compiled.
const CompiledInstance* FindCompiledInstance(const CriterionSlot& slot, int instance);

}  // namespace kz::filters
