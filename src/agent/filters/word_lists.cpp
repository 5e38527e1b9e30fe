#include "filters/word_lists.h"

#include <optional>
#include <vector>

#include "base/format.h"
#include "filters/config_lines.h"
#include "filters/match_pattern.h"
#include "filters/result_hits.h"
#include "log/trace.h"

namespace kz::filters {

int MatchWordFileCached(const FilterTable& table, std::string_view value,
                        std::string_view delimiters, std::string_view path, CriterionType kind,
                        int instance, MatchResultBlock& block, std::string_view tag) {
    const PatternList* list = FindPatternList(table, path);
    if (list == nullptr) return 0;
    const bool caseSensitive = CaseSensitiveMatching();
    const std::string tagText(tag);
    for (const std::string& entry : list->lines) {
        if (!MatchPattern(value, entry, delimiters, caseSensitive)) continue;
        RecordHit(block, kind, instance, tag, entry);
        log::Trace("Message Criteria (Tag=%s) met against [%s] in specified word file.\n",
                   tagText.c_str(), entry.c_str());
    }
    return 1;
}

int MatchWordFile(std::string_view value, std::string_view delimiters, const std::string& path,
                  CriterionType kind, int instance, MatchResultBlock& block, std::string_view tag) {
    std::optional<std::vector<std::string>> lines = ReadConfigLines(path);
    if (!lines) return 0;
    const bool caseSensitive = CaseSensitiveMatching();
    for (std::string& line : *lines) {
        if (line.find('\n') != std::string::npos) line.pop_back();
        if (!MatchPattern(value, line, delimiters, caseSensitive)) continue;
        RecordHit(block, kind, instance, tag, line);
        log::Trace("Message General Criteria met against [%s] in specified word file.\n",
                   line.c_str());
    }
    return 1;
}

bool MatchInstanceWordFile(const FilterTable& table, std::string_view value,
                           std::string_view delimiters, std::string_view instanceData,
                           CriterionType kind, int instance, MatchResultBlock& block,
                           std::string_view tag) {
    std::optional<std::string> path = ResolveWordFile(table, instanceData);
    if (!path) return false;
    if (table.patternCaching) {
        return MatchWordFileCached(table, value, delimiters, *path, kind, instance, block, tag) ==
               1;
    }
    return MatchWordFile(value, delimiters, *path, kind, instance, block, tag) == 1;
}

}  // namespace kz::filters
