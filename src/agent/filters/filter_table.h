#pragma once
// The ordered table of the administrator's filters, loaded from FILTER.TAB and the
// criteria files under the configuration directory. Written only at load, reload and
// release; concurrent runs only read it.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_limit.h"
#include "filters/criteria_results.h"
#include "filters/criterion_slot.h"
#include "filters/criterion_type.h"
#include "filters/pattern_cache.h"

namespace kz::filters {

struct FilterDefinition {
    static constexpr TextLimit kNameLimit{64};  // name, criteriaName
    static constexpr TextLimit kDescriptionLimit{256};
    static constexpr TextLimit kMatchAllFieldLimit{1024};

    std::string name;
    std::string criteriaName;  // names both the criteria file and the action file
    std::string description;
    std::array<CriterionSlot, kCriterionCount> slots;
    bool isScript = false;
    bool matchAll = false;  // every enabled criterion must be met (field 7 reads 1)
    // Named by "Audit Filters": when it holds, a report line says what it would have
    // done; no action runs and processing goes on.
    bool audited = false;
    std::string scriptText;  // the whole criteria script; empty for a criteria table
};

struct FilterTable {
    static constexpr TextLimit kScopeNameLimit{128};  // postofficeName, mailboxName

    std::vector<FilterDefinition> filters;  // position p is filters[p - 1]
    std::string postofficeName;             // empty for the system-wide table
    std::string mailboxName;
    std::string configurationDirectory;  // the directory the table was loaded from
    bool patternCaching = false;         // "Allow Pattern Caching" at load time
    // Belongs to the table, so a replaced table keeps its word lists for the runs that
    // still use it.
    PatternCache patternCache;
    // Every list criterion matched by MatchPattern entry by entry, word files as read or
    // cached, the compiled lists left aside: the results they must reproduce. For tests;
    // a load keeps it, so it may be set before or after one.
    bool referenceMatching = false;

    const FilterDefinition& filter(int position) const {
        return filters.at(std::size_t(position - 1));
    }
    int filterCount() const { return int(filters.size()); }
    bool hasScriptFilters() const;
};

struct LoadOptions {
    std::string configurationDirectory;
    bool allowPatternCaching = false;
    // Filters whose description is one of these (compared without regard to case) are
    // audited.
    std::vector<std::string> auditedDescriptions = {};
};

// The options of a table loaded from the configuration directory with the agent's
// registry settings ("Allow Pattern Caching", "Audit Filters").
LoadOptions SettingsLoadOptions(std::string configurationDirectory);

// Reads FILTER.TAB and the criteria files into the table, replacing what it held.
// Missing files leave the table with fewer filters or criteria.
void LoadFilterTable(FilterTable& table, const LoadOptions& options);
// Destroys the filters and empties the pattern cache.
void ReleaseFilterTable(FilterTable& table);

// The word-file path that instance data refers to, or none when the data is an inline
// list. Empty data names the general word list.
std::optional<std::string> ResolveWordFile(const FilterTable& table, std::string_view data);

// The cached word list of a resolved path, or null.
const PatternList* FindPatternList(const FilterTable& table, std::string_view path);

}  // namespace kz::filters
