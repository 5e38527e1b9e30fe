#include "evaluate/scan_attachments.h"

#include "base/ascii.h"
#include "base/format.h"
#include "evaluate/evaluators_text.h"
#include "log/trace.h"
#include "message/encoded_words.h"

namespace kz::evaluate {

namespace {

// The single-byte code page attachment names are matched in.
constexpr std::string_view kNameCharset = "windows-1252";

}  // namespace

std::vector<std::string> AttachmentNames(const MimePart& part) {
    std::vector<std::string> names;
    for (const std::string* name : {&part.fileName, &part.partName}) {
        std::string decoded = DecodeEncodedWords(*name, kNameCharset);
        if (!decoded.empty()) names.push_back(std::move(decoded));
    }
    return names;
}

bool IsAttachment(const MimePart& part) {
    return findIgnoreCase(part.dispositionType, "attachment") != std::string_view::npos ||
           !part.fileName.empty() || !part.partName.empty();
}

void EvaluatePresence(Evaluation& evaluation, const MimePart& part,
                      const std::vector<std::string>& names) {
    const bool named =
        !names.empty() || findIgnoreCase(part.rawHeaders, "name=") != std::string_view::npos;
    evaluation.offerPresence(named);
}

void HoldAttachmentCriteriaOfHiddenParts(Evaluation& evaluation) {
    log::Trace("Message parts beyond the scan limits: attachment criteria held\n");
    HoldAttachmentCriteria(evaluation);
}

}  // namespace kz::evaluate
