#include "evaluate/evaluation.h"

#include "base/text_limit.h"
#include "evaluate/evaluators_text.h"

namespace kz::evaluate {

void Evaluation::note(CriterionType kind, std::string_view value) {
    if (!keep_) return;
    offered_.push_back({kind, std::string(value.substr(0, kOfferedValueLimit)), value.size()});
}

void Evaluation::offer(CriterionType kind, std::string_view value, std::string_view delimiters) {
    note(kind, value);
    switch (filters::KindOf(kind).shape) {
        case filters::KindShape::Words:
        case filters::KindShape::Names:
            EvaluateWords(*this, kind, value, delimiters);
            break;
        case filters::KindShape::Addresses:
            EvaluateAddresses(*this, kind, value, delimiters);
            break;
        case filters::KindShape::Envelope:
            EvaluateEnvelopeList(*this, kind, value, delimiters);
            break;
        case filters::KindShape::Countries:
            EvaluateCountries(*this, kind, value, delimiters);
            break;
        default:
            break;  // measured by their own calls, not from a text
    }
}

void Evaluation::offerEnvelope(CriterionType kind, std::string_view value,
                               std::string_view delimiters) {
    note(kind, value);
    EvaluateEnvelopeList(*this, kind, value, delimiters);
}

void Evaluation::offerAttachmentLine(std::string_view headerLine, std::string_view delimiters) {
    note(HASATTACHMENTSMATCHING, headerLine);
    EvaluateAttachmentLine(*this, headerLine, delimiters);
}

void Evaluation::offerAttachmentNames(std::span<const std::string> names,
                                      std::string_view delimiters) {
    for (const std::string& name : names) note(HASATTACHMENTSMATCHING, name);
    EvaluateAttachmentNames(*this, names, delimiters);
}

void Evaluation::offerPresence(bool named) {
    note(HASANATTACHMENT, named ? "named part" : "unnamed part");
    RecordAttachmentPresence(*this, named);
}

}  // namespace kz::evaluate
