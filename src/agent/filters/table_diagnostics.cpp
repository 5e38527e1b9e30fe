#include "filters/table_diagnostics.h"

#include <algorithm>
#include <array>
#include <set>

#include "filters/config_fields.h"
#include "filters/config_lines.h"
#include "filters/criteria_files.h"
#include "filters/criteria_script_tokens.h"
#include "platform/files.h"

namespace kz::filters {

namespace {

// Field limits of FILTER.TAB as the loader reads it.
struct TabFieldLimit {
    int field;
    TextLimit limit;
    const char* what;
};
constexpr TabFieldLimit kFilterTabFields[] = {
    {1, FilterDefinition::kNameLimit, "the name"},
    {3, FilterDefinition::kNameLimit, "the criteria name"},
    {5, FilterDefinition::kDescriptionLimit, "the description"},
    {7, FilterDefinition::kMatchAllFieldLimit, "the match-all field"},
};
constexpr std::string_view kReferencePrefix = "<REFERENCE>";

std::string rawField(std::string_view line, int field) {
    return TabField(line, field, kNoTextLimit).value_or(std::string());
}

// A number that reads as 0 on purpose ("0", " -00"), not a text that reads as no number.
bool isZero(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.remove_suffix(1);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
    return !text.empty() && text.find_first_not_of('0') == std::string_view::npos;
}

std::string tooLongMessage(const char* what, int field, TextLimit limit) {
    return std::string(what) + " (field " + std::to_string(field) + ") is longer than " +
           std::to_string(limit.maxLength()) + " characters and reads as empty";
}

std::string pieceMessage() {
    return "the line is longer than " + std::to_string(kConfigLineLimit) +
           " characters and is read as several lines";
}

// Why an enabled-field text skips its line; empty when the line is enabled or the
// administrator disabled it with 0.
std::string skipReason(std::string_view line) {
    std::optional<std::string> enabled = TabField(line, 2, kNoTextLimit);
    if (!enabled) return "skipped: the line has no enabled field (field 2)";
    if (!kNumberFieldLimit.fits(*enabled)) {
        return "skipped: " + tooLongMessage("the enabled field", 2, kNumberFieldLimit);
    }
    if (AtoiText(*enabled) != 0 || isZero(*enabled)) return std::string();
    return "skipped: the enabled field (field 2) \"" + *enabled + "\" is not a number";
}

bool isListKind(int kind) {
    return IsListShape(KindOf(kind).shape);
}

std::string filterLabel(int position, const FilterDefinition& filter) {
    return "filter " + std::to_string(position) + " (" + filter.name + ")";
}

void diagnoseScript(const FilterTable& table, const FilterDefinition& filter,
                    std::vector<ConfigProblem>& problems) {
    std::string path = CriteriaFilePath(table, filter.criteriaName, "KZS");
    std::array<int, kCriterionCount> occurrences{};
    for (const ScriptToken& token : ParseScriptTokens(filter.scriptText)) {
        std::string shown = "[KZ_" + token.keyword + "]";
        int kind = CriterionFromKeyword(token.keyword);
        if (kind < 0) {
            problems.push_back(
                {path, 0, "the token " + shown + " names no criterion kind and is ignored"});
            continue;
        }
        std::string_view keyword = KindOf(kind).keyword;
        if (token.keyword != keyword) {
            problems.push_back({path, 0,
                                "the token " + shown + " is spelled in another case than [KZ_" +
                                    std::string(keyword) +
                                    "]: it enables the criterion but is never replaced"});
        }
        if (++occurrences[std::size_t(kind)] == kMaxInstances + 1) {
            problems.push_back({path, 0,
                                "more than " + std::to_string(kMaxInstances) + " tokens of " +
                                    std::string(keyword) + ": the later ones are not evaluated"});
        }
    }
}

void diagnoseCriteriaTable(const std::string& path, std::vector<ConfigProblem>& problems) {
    std::optional<std::vector<NumberedLine>> lines = ReadNumberedConfigLines(path);
    if (!lines) return;
    for (std::size_t n = 0; n < lines->size(); ++n) {
        const NumberedLine& line = (*lines)[n];
        if (n == std::size_t(kCriterionCount)) {
            problems.push_back(
                {path, line.line,
                 "lines after the " + std::to_string(kCriterionCount) + "th are ignored"});
            break;
        }
        if (line.tooLong) problems.push_back({path, line.line, pieceMessage()});
        std::optional<std::string> data = TabField(line.text, 3, kNoTextLimit);
        if (isListKind(int(n)) && AtoiText(rawField(line.text, 1)) == 1 && data &&
            data->size() > 1 && data->back() == '\n' && !data->starts_with(kReferencePrefix)) {
            problems.push_back({path, line.line,
                                "the data (field 3) ends the line and keeps its line end, so "
                                "its last word is looked for with the line end; add the "
                                "fields up to the threshold (field 6)"});
        }
        for (int field : {1, 6}) {
            if (!kNumberFieldLimit.fits(rawField(line.text, field))) {
                problems.push_back(
                    {path, line.line,
                     tooLongMessage(field == 1 ? "the enabled field" : "the threshold", field,
                                    kNumberFieldLimit)});
            }
        }
    }
}

// A word file with no words: missing (its reference is then matched as a word list
// itself) or without a non-empty line.
std::optional<std::string> wordFileProblem(const std::string& path) {
    std::optional<std::string> text = platform::readTextFile(path);
    if (!text) return "is missing: the reference is matched as a word list itself";
    for (const std::string& line : SplitConfigLines(*text)) {
        if (!CutAtLineFeed(line).empty()) return std::nullopt;
    }
    return "is empty: it matches nothing";
}

void diagnoseWordFiles(const FilterTable& table, int position, const FilterDefinition& filter,
                       std::set<std::string>& seen, std::vector<ConfigProblem>& problems) {
    for (int kind = 0; kind < kCriterionCount; ++kind) {
        const CriterionSlot& slot = filter.slots[std::size_t(kind)];
        if (!slot.isEnabled() || !isListKind(kind)) continue;
        for (int j = 0; j < std::max(1, slot.resultInstanceCount()); ++j) {
            std::string data = slot.instanceData(j);
            std::optional<std::string> path = ResolveWordFile(table, data);
            if (!path && data.starts_with(kReferencePrefix)) {
                problems.push_back(
                    {CriteriaFilePath(table, filter.criteriaName, filter.isScript ? "KZS" : "TAB"),
                     0,
                     "a reference of " + std::string(KindOf(kind).keyword) +
                         " names no usable word file (no <FILE>, or a name or "
                         "path too long) and is read as a word list itself"});
            }
            if (!path || !seen.insert(*path).second) continue;
            if (std::optional<std::string> problem = wordFileProblem(*path)) {
                problems.push_back({*path, 0,
                                    "the word file of " + std::string(KindOf(kind).keyword) +
                                        " in " + filterLabel(position, filter) + " " + *problem});
            }
        }
    }
}

}  // namespace

std::optional<std::vector<NumberedLine>> ReadNumberedConfigLines(std::string_view path) {
    std::optional<std::vector<std::string>> pieces = ReadConfigLines(path);
    if (!pieces) return std::nullopt;
    std::vector<NumberedLine> lines;
    int number = 1;
    bool continued = false;  // the previous piece was cut from a longer line
    for (std::size_t i = 0; i < pieces->size(); ++i) {
        std::string& text = (*pieces)[i];
        bool cut = text.size() == kConfigLineLimit && text.back() != '\n' && i + 1 < pieces->size();
        lines.push_back({number, std::move(text), cut || continued});
        continued = cut;
        if (!cut) ++number;
    }
    return lines;
}

std::vector<ConfigProblem> DiagnoseFilterTab(const FilterTable& table) {
    std::vector<ConfigProblem> problems;
    std::string path = FilterTabPath(table);
    std::optional<std::vector<NumberedLine>> lines = ReadNumberedConfigLines(path);
    if (!lines) return {{path, 0, "FILTER.TAB cannot be read: no filter is loaded"}};
    int enabledLines = 0;
    int lastReported = 0;
    for (const NumberedLine& numbered : *lines) {
        if (numbered.tooLong && numbered.line != lastReported) {
            problems.push_back({path, numbered.line, pieceMessage()});
            lastReported = numbered.line;
        }
        std::string_view line = CutAtLineFeed(numbered.text);
        if (line.empty()) continue;  // a blank line is no filter
        if (std::string reason = skipReason(line); !reason.empty()) {
            problems.push_back({path, numbered.line, reason});
            continue;
        }
        if (AtoiText(*TabField(line, 2, kNumberFieldLimit)) == 0) continue;  // disabled with 0
        if (++enabledLines > kMaxFilters) {
            problems.push_back({path, numbered.line,
                                "skipped: more than " + std::to_string(kMaxFilters) +
                                    " filters; this line and every later one are ignored"});
            break;
        }
        for (const TabFieldLimit& tab : kFilterTabFields) {
            if (!tab.limit.fits(rawField(line, tab.field))) {
                problems.push_back(
                    {path, numbered.line, tooLongMessage(tab.what, tab.field, tab.limit)});
            }
        }
    }
    return problems;
}

std::vector<ConfigProblem> DiagnoseCriteriaFiles(const FilterTable& table) {
    std::vector<ConfigProblem> problems;
    std::set<std::string> wordFilesSeen;
    for (int position = 1; position <= table.filterCount(); ++position) {
        const FilterDefinition& filter = table.filter(position);
        if (filter.isScript) {
            diagnoseScript(table, filter, problems);
        } else {
            std::string path = CriteriaFilePath(table, filter.criteriaName, "TAB");
            if (!platform::readTextFile(path)) {
                problems.push_back(
                    {path, 0,
                     "the criteria file of " + filterLabel(position, filter) +
                         " is missing (no .KZS or .TAB): the filter can never hold"});
                continue;
            }
            diagnoseCriteriaTable(path, problems);
        }
        diagnoseWordFiles(table, position, filter, wordFilesSeen, problems);
    }
    return problems;
}

}  // namespace kz::filters
