#include "evaluate/scan_values.h"

#include "evaluate/evaluators_text.h"
#include "evaluate/scan_delimiters.h"

namespace kz::scan {

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

void EvaluateXPriority(std::string_view value, const filters::FilterTable& table,
                       filters::CriteriaResults& results) {
    const std::string_view text = PriorityText(value);
    if (text.empty()) return;
    filters::EvaluateWordCriterion(filters::PRIORITY, text, kWordDelimiters, table, results);
}

void EvaluateCountryOrigin(std::string_view value, const filters::FilterTable& table,
                           filters::CriteriaResults& results) {
    filters::EvaluateCountryCriterion(filters::COUNTRY_MATCH, value, kWordDelimiters, table,
                                      results, 1);
    if (value.empty()) return;
    filters::EvaluateCountryCriterion(filters::COUNTRY_NOMATCH, value, kWordDelimiters, table,
                                      results, 0);
}

void EvaluateBodies(MimeReader& reader, const filters::FilterTable& table,
                    filters::CriteriaResults& results) {
    const std::string& plain = reader.plainTextBody();
    if (!plain.empty()) {
        filters::EvaluateWordCriterion(filters::BODY, plain, kWordDelimiters, table, results);
    }
    const std::string& html = reader.htmlBody();
    if (!html.empty()) {
        filters::EvaluateWordCriterion(filters::BODY, html, kWordDelimiters, table, results);
    }
}

}  // namespace kz::scan
