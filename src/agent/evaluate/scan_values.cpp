#include "evaluate/scan_values.h"

#include "evaluate/scan_delimiters.h"

namespace kz::evaluate {

std::string_view PriorityText(std::string_view xPriorityValue) {
    if (xPriorityValue.empty()) return {};
    switch (xPriorityValue.front()) {
        case '5':
            return "Low ";
        case '3':
            return "Normal ";
        case '1':
            return "High ";
        default:
            return {};
    }
}

void EvaluateXPriority(Evaluation& evaluation, std::string_view value) {
    const std::string_view text = PriorityText(value);
    if (text.empty()) return;
    evaluation.offer(PRIORITY, text, kWordDelimiters);
}

void EvaluateCountryOrigin(Evaluation& evaluation, std::string_view value) {
    evaluation.offer(COUNTRY_MATCH, value, kWordDelimiters);
    if (value.empty()) return;
    evaluation.offer(COUNTRY_NOMATCH, value, kWordDelimiters);
}

void EvaluateBodies(Evaluation& evaluation, MimeReader& reader) {
    const std::string& plain = reader.plainTextBody();
    if (!plain.empty()) {
        evaluation.offer(BODY, plain, kWordDelimiters);
    }
    const std::string& html = reader.htmlBody();
    if (!html.empty()) {
        evaluation.offer(BODY, html, kWordDelimiters);
    }
}

}  // namespace kz::evaluate
