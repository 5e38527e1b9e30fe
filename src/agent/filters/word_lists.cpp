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

namespace {

void recordCachedHits(const std::vector<std::string>& entries,
                      const std::vector<std::size_t>& found, CriterionType kind, int instance,
                      MatchResultBlock& block, std::string_view tag) {
    const std::string tagText(tag);
    for (std::size_t index : found) {
        const std::string& entry = entries[index];
        RecordHit(block, kind, instance, tag, entry);
        log::Trace("Message Criteria (Tag=%s) met against [%s] in specified word file.\n",
                   tagText.c_str(), entry.c_str());
    }
}

}  // namespace

void MatchPatternList(const PatternList& list, std::string_view value, std::string_view delimiters,
                      CriterionType kind, int instance, MatchResultBlock& block,
                      std::string_view tag) {
    recordCachedHits(list.lines(), list.words.matches(value, delimiters, CaseSensitiveMatching()),
                     kind, instance, block, tag);
}

bool MatchWordFileCached(const FilterTable& table, std::string_view value,
                         std::string_view delimiters, std::string_view path, CriterionType kind,
                         int instance, MatchResultBlock& block, std::string_view tag) {
    const PatternList* list = FindPatternList(table, path);
    if (list == nullptr) return false;
    if (table.referenceMatching) {
        recordCachedHits(list->lines(),
                         MatchEachPattern(value, list->lines(), delimiters, CaseSensitiveMatching()),
                         kind, instance, block, tag);
    } else {
        MatchPatternList(*list, value, delimiters, kind, instance, block, tag);
    }
    return true;
}

bool MatchWordFile(std::string_view value, std::string_view delimiters, const std::string& path,
                   CriterionType kind, int instance, MatchResultBlock& block, std::string_view tag,
                   bool reference) {
    std::shared_ptr<const CompiledWordList> words;
    std::optional<std::vector<std::string>> lines;
    if (reference) {
        lines = ReadWordFileLines(path);
        if (!lines) return false;
    } else {
        words = CurrentWordFile(path);
        if (!words) return false;
    }
    const std::vector<std::string>& entries = reference ? *lines : words->entries();
    const bool caseSensitive = CaseSensitiveMatching();
    for (std::size_t index : reference ? MatchEachPattern(value, entries, delimiters, caseSensitive)
                                       : words->matches(value, delimiters, caseSensitive)) {
        const std::string& line = entries[index];
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
    return MatchWordFile(value, delimiters, *path, kind, instance, block, tag,
                         table.referenceMatching);
}

}  // namespace kz::filters
