// Attachment criteria: names matched against a part header's parameters, and the mere
// presence of a named part.

#include <algorithm>
#include <string>

#include "base/ascii.h"
#include "base/format.h"
#include "evaluate/evaluators_text.h"
#include "evaluate/evaluators_walk.h"
#include "filters/match_pattern.h"
#include "filters/result_hits.h"
#include "log/trace.h"
#include "message/mime_line_params.h"

namespace kz::filters {

namespace {

constexpr std::size_t kAttachmentDataSize = 1024;       // instance data and alternatives
constexpr std::size_t kAttachmentParameterSize = 1023;  // at most 1022 characters

// Whether the pattern matches the header line's parameter of that name.
bool parameterMatches(std::string_view headerLine, std::string_view parameter,
                      std::string_view pattern, std::string_view delimiters, bool caseSensitive) {
    std::string fileName;
    if (!ExtractAttachmentParameter(headerLine, parameter, fileName, kAttachmentParameterSize)) {
        return false;
    }
    return MatchPattern(fileName, pattern, delimiters, caseSensitive) == 1;
}

// One hit for each alternative that `matches`, in every enabled instance.
template <typename Matches>
void evaluateNameAlternatives(CriterionType kind, const FilterTable& table,
                              CriteriaResults& results, Matches&& matches) {
    ForEachEnabledInstance(
        table, results, kind,
        [&](const CriterionSlot& slot, MatchResultBlock& block, int instance) {
            const std::string data = slot.instanceData(instance, kAttachmentDataSize);
            ForEachAlternative(data, kAttachmentDataSize, [&](std::string& pattern) {
                if (!matches(pattern)) return;
                RecordHit(block, kind, instance, "MF-A", pattern);
                Trace("Attachment Criteria Met\n");
            });
        });
}

}  // namespace

int EvaluateAttachmentName(CriterionType kind, std::string_view headerLine,
                           std::string_view delimiters, const FilterTable& table,
                           CriteriaResults& results) {
    const bool caseSensitive = CaseSensitiveMatching();
    evaluateNameAlternatives(kind, table, results, [&](const std::string& pattern) {
        return parameterMatches(headerLine, "filename", pattern, delimiters, caseSensitive) ||
               parameterMatches(headerLine, "name", pattern, delimiters, caseSensitive);
    });
    return 1;
}

int EvaluateAttachmentNames(CriterionType kind, std::span<const std::string> names,
                            std::string_view delimiters, const FilterTable& table,
                            CriteriaResults& results) {
    if (names.empty()) return 1;
    const bool caseSensitive = CaseSensitiveMatching();
    evaluateNameAlternatives(kind, table, results, [&](const std::string& pattern) {
        return std::any_of(names.begin(), names.end(), [&](const std::string& name) {
            return MatchPattern(name, pattern, delimiters, caseSensitive) == 1;
        });
    });
    return 1;
}

int EvaluateAttachmentPresence(CriterionType kind, std::string_view headerText,
                               std::string_view /*delimiters*/, const FilterTable& table,
                               CriteriaResults& results) {
    return RecordAttachmentPresence(
        kind, findIgnoreCase(headerText, "name=") != std::string_view::npos, table, results);
}

int RecordAttachmentPresence(CriterionType kind, bool named, const FilterTable& table,
                             CriteriaResults& results) {
    ForEachEnabledSlot(
        table, results, kind, [&](const CriterionSlot& slot, MatchResultBlock& block) {
            if (block.hitCount[kind] >= 1) return;  // one hit per filter and message
            if (named) {
                RecordHit(block, kind, 0, "MF-HA", "1");
                Trace("Message Body Has Attachment Criteria Met\n");
            }
            const std::string count = std::to_string(block.hitCount[kind]);
            for (int instance = 0; instance < slot.resultInstanceCount(); ++instance) {
                block.instanceValue[kind][instance] = count;
            }
        });
    return 1;
}

int HoldAttachmentCriteria(const FilterTable& table, CriteriaResults& results) {
    RecordAttachmentPresence(HASANATTACHMENT, true, table, results);
    ForEachEnabledInstance(
        table, results, HASATTACHMENTSMATCHING,
        [&](const CriterionSlot& slot, MatchResultBlock& block, int instance) {
            const std::string data = slot.instanceData(instance, kAttachmentDataSize);
            std::string first;
            ForEachAlternative(data, kAttachmentDataSize, [&](std::string& pattern) {
                if (first.empty()) first = pattern;
            });
            RecordHit(block, HASATTACHMENTSMATCHING, instance, "MF-A", first);
            Trace("Attachment Criteria Met\n");
        });
    return 1;
}

}  // namespace kz::filters
