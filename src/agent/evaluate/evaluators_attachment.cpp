// Attachment criteria: names matched against a part header's parameters, and the mere
// presence of a named part.

#include <algorithm>
#include <string>

#include "base/ascii.h"
#include "base/format.h"
#include "base/text_limit.h"
#include "evaluate/evaluators_text.h"
#include "evaluate/evaluators_walk.h"
#include "filters/match_pattern.h"
#include "filters/result_hits.h"
#include "log/trace.h"
#include "message/mime_line_params.h"

namespace kz::evaluate {

namespace {

constexpr TextLimit kAttachmentDataLimit{1024};  // instance data and alternatives
constexpr TextLimit kAttachmentParameterLimit{1023};

// Whether the pattern matches the header line's parameter of that name.
bool parameterMatches(std::string_view headerLine, std::string_view parameter,
                      std::string_view pattern, std::string_view delimiters, bool caseSensitive) {
    std::string fileName;
    if (!ExtractAttachmentParameter(headerLine, parameter, fileName, kAttachmentParameterLimit)) {
        return false;
    }
    return filters::MatchPattern(fileName, pattern, delimiters, caseSensitive);
}

// One hit for each alternative that `matches`, in every enabled instance.
template <typename Matches>
void evaluateNameAlternatives(Evaluation& evaluation, Matches&& matches) {
    constexpr CriterionType kind = HASATTACHMENTSMATCHING;
    ForEachEnabledInstance(
        evaluation, kind, [&](const CriterionSlot& slot, MatchResultBlock& block, int instance) {
            const std::string data = slot.instanceData(instance, kAttachmentDataLimit);
            ForEachAlternative(data, kAttachmentDataLimit, [&](std::string& pattern) {
                if (!matches(pattern)) return;
                filters::RecordHit(block, kind, instance, "MF-A", pattern);
                log::Trace("Attachment Criteria Met\n");
            });
        });
}

}  // namespace

void EvaluateAttachmentLine(Evaluation& evaluation, std::string_view headerLine,
                            std::string_view delimiters) {
    const bool caseSensitive = filters::CaseSensitiveMatching();
    evaluateNameAlternatives(evaluation, [&](const std::string& pattern) {
        return parameterMatches(headerLine, "filename", pattern, delimiters, caseSensitive) ||
               parameterMatches(headerLine, "name", pattern, delimiters, caseSensitive);
    });
}

void EvaluateAttachmentNames(Evaluation& evaluation, std::span<const std::string> names,
                             std::string_view delimiters) {
    if (names.empty()) return;
    const bool caseSensitive = filters::CaseSensitiveMatching();
    evaluateNameAlternatives(evaluation, [&](const std::string& pattern) {
        return std::any_of(names.begin(), names.end(), [&](const std::string& name) {
            return filters::MatchPattern(name, pattern, delimiters, caseSensitive);
        });
    });
}

bool NamesAnAttachment(std::string_view headerText) {
    return findIgnoreCase(headerText, "name=") != std::string_view::npos;
}

void RecordAttachmentPresence(Evaluation& evaluation, bool named) {
    constexpr CriterionType kind = HASANATTACHMENT;
    ForEachEnabledSlot(evaluation, kind, [&](const CriterionSlot& slot, MatchResultBlock& block) {
        if (block.hitCount[kind] >= 1) return;  // one hit per filter and message
        if (named) {
            filters::RecordHit(block, kind, 0, "MF-HA", "1");
            log::Trace("Message Body Has Attachment Criteria Met\n");
        }
        const std::string count = std::to_string(block.hitCount[kind]);
        for (int instance = 0; instance < slot.resultInstanceCount(); ++instance) {
            block.instanceValue[kind][instance] = count;
        }
    });
}

void HoldAttachmentCriteria(Evaluation& evaluation) {
    RecordAttachmentPresence(evaluation, true);
    ForEachEnabledInstance(
        evaluation, HASATTACHMENTSMATCHING,
        [&](const CriterionSlot& slot, MatchResultBlock& block, int instance) {
            const std::string data = slot.instanceData(instance, kAttachmentDataLimit);
            std::string first;
            ForEachAlternative(data, kAttachmentDataLimit, [&](std::string& pattern) {
                if (first.empty()) first = pattern;
            });
            filters::RecordHit(block, HASATTACHMENTSMATCHING, instance, "MF-A", first);
            log::Trace("Attachment Criteria Met\n");
        });
}

}  // namespace kz::evaluate
