#include "filters/word_lists.h"

#include <memory>
#include <optional>
#include <vector>

#include "base/format.h"
#include "filters/match_pattern.h"
#include "filters/result_hits.h"
#include "filters/word_file_snapshots.h"
#include "log/trace.h"

namespace kz::filters {

void RecordWordFileHits(const std::vector<std::string>& entries,
                        const std::vector<std::size_t>& found, bool cached, CriterionType kind,
                        int instance, MatchResultBlock& block, std::string_view tag) {
    const std::string tagText(tag);
    for (std::size_t index : found) {
        const std::string& entry = entries[index];
        RecordHit(block, kind, instance, tag, entry);
        if (cached) {
            log::Trace("Message Criteria (Tag=%s) met against [%s] in specified word file.\n",
                       tagText.c_str(), entry.c_str());
        } else {
            log::Trace("Message General Criteria met against [%s] in specified word file.\n",
                       entry.c_str());
        }
    }
}

bool MatchWordFileCached(const FilterTable& table, std::string_view value,
                         std::string_view delimiters, std::string_view path, CriterionType kind,
                         int instance, MatchResultBlock& block, std::string_view tag) {
    const PatternList* list = FindPatternList(table, path);
    if (list == nullptr) return false;
    RecordWordFileHits(list->lines(),
                       MatchEachPattern(value, list->lines(), delimiters, CaseSensitiveMatching()),
                       true, kind, instance, block, tag);
    return true;
}

bool MatchWordFile(std::string_view value, std::string_view delimiters, const std::string& path,
                   CriterionType kind, int instance, MatchResultBlock& block, std::string_view tag,
                   bool readNow) {
    std::shared_ptr<const CompiledWordList> snapshot;
    std::optional<std::vector<std::string>> lines;
    if (readNow) {
        lines = ReadWordFileLines(path);
        if (!lines) return false;
    } else {
        snapshot = CurrentWordFile(path);
        if (!snapshot) return false;
    }
    const std::vector<std::string>& entries = readNow ? *lines : snapshot->entries();
    RecordWordFileHits(entries,
                       MatchEachPattern(value, entries, delimiters, CaseSensitiveMatching()), false,
                       kind, instance, block, tag);
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
    return MatchWordFile(value, delimiters, *path, kind, instance, block, tag,
                         table.referenceMatching);
}

}  // namespace kz::filters
