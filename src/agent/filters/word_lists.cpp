#include "filters/word_lists.h"

#include <memory>
#include <optional>

#include "base/format.h"
#include "filters/match_pattern.h"
#include "filters/result_hits.h"
#include "filters/word_file_snapshots.h"
#include "log/trace.h"

namespace kz::filters {

void MatchPatternList(const PatternList& list, std::string_view value, std::string_view delimiters,
                      CriterionType kind, int instance, MatchResultBlock& block,
                      std::string_view tag) {
    const std::string tagText(tag);
    for (std::size_t index : list.words.matches(value, delimiters, CaseSensitiveMatching())) {
        const std::string& entry = list.lines()[index];
        RecordHit(block, kind, instance, tag, entry);
        log::Trace("Message Criteria (Tag=%s) met against [%s] in specified word file.\n",
                   tagText.c_str(), entry.c_str());
    }
}

bool MatchWordFileCached(const FilterTable& table, std::string_view value,
                         std::string_view delimiters, std::string_view path, CriterionType kind,
                         int instance, MatchResultBlock& block, std::string_view tag) {
    const PatternList* list = FindPatternList(table, path);
    if (list == nullptr) return false;
    MatchPatternList(*list, value, delimiters, kind, instance, block, tag);
    return true;
}

bool MatchWordFile(std::string_view value, std::string_view delimiters, const std::string& path,
                   CriterionType kind, int instance, MatchResultBlock& block,
                   std::string_view tag) {
    std::shared_ptr<const CompiledWordList> words = CurrentWordFile(path);
    if (!words) return false;
    for (std::size_t index : words->matches(value, delimiters, CaseSensitiveMatching())) {
        const std::string& line = words->entries()[index];
        RecordHit(block, kind, instance, tag, line);
        log::Trace("Message General Criteria met against [%s] in specified word file.\n",
                   line.c_str());
    }
    return true;
}

bool MatchInstanceWordFile(const FilterTable& table, std::string_view value,
                           std::string_view delimiters, std::string_view instanceData,
                           CriterionType kind, int instance, MatchResultBlock& block,
                           std::string_view tag) {
    std::optional<std::string> path = ResolveWordFile(table, instanceData);
    if (!path) return false;
    if (table.patternCaching) {
        return MatchWordFileCached(table, value, delimiters, *path, kind, instance, block, tag);
    }
    return MatchWordFile(value, delimiters, *path, kind, instance, block, tag);
}

}  // namespace kz::filters
