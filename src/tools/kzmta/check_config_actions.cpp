#include "check_config_actions.h"

#include <set>
#include <string>

#include "actions/action_keywords.h"
#include "actions/action_line.h"
#include "base/ascii.h"
#include "config/paths.h"
#include "filters/config_fields.h"
#include "filters/config_lines.h"
#include "platform/files.h"

namespace kz::tool {

namespace {

using filters::ConfigProblem;

constexpr std::string_view kReference = "<REFERENCE>";

// The template a notification line names, or empty for the fixed notification.
std::string templateName(std::string_view keyword, std::string_view data) {
    if (equalsIgnoreCase(keyword, "NOTIFY_SENDER") ||
        equalsIgnoreCase(keyword, "NOTIFY_RECIPIENTS")) {
        return std::string(data);
    }
    if (!equalsIgnoreCase(keyword, "NOTIFY_ADDRESS") ||
        data.substr(0, kReference.size()) != kReference) {
        return std::string();
    }
    std::size_t open = data.find("<FILE>");
    std::size_t close = data.find("</FILE>");
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return {};
    return std::string(data.substr(open + 6, close - open - 6));
}

std::string unknownKeywordMessage(const std::string& keyword) {
    std::string_view bare = filters::CutAtLineFeed(keyword);
    if (bare.empty()) return "the line has no action keyword (field 4): it runs nothing";
    if (bare.size() != keyword.size() && actions::FindActionKeyword(bare)) {
        return "the keyword " + std::string(bare) +
               " ends the line and keeps its line end, so it runs nothing; add a fifth field "
               "(the description)";
    }
    return "the keyword \"" + std::string(bare) + "\" is no action keyword: the line runs nothing";
}

void diagnoseLine(const filters::NumberedLine& numbered, const std::string& path,
                  const std::string& configuration, std::vector<ConfigProblem>& problems) {
    const std::string& text = numbered.text;
    actions::ActionLine line = actions::ParseActionLine(text);
    if (line.status != 1) return;  // disabled lines are not read further
    for (int field : {3, 4, 5}) {
        std::string raw = filters::TabField(text, field, kNoTextLimit).value_or("");
        if (!actions::ActionLine::kFieldLimit.fits(raw)) {
            problems.push_back({path, numbered.line,
                                "field " + std::to_string(field) + " is longer than " +
                                    std::to_string(actions::ActionLine::kFieldLimit.maxLength()) +
                                    " characters and reads as empty"});
        }
    }
    if (!actions::FindActionKeyword(line.keyword)) {
        problems.push_back({path, numbered.line, unknownKeywordMessage(line.keyword)});
        return;
    }
    std::string name = templateName(line.keyword, line.data);
    if (name.empty()) return;
    std::string templatePath = platform::resolvePath(config::TemplatePath(configuration, name));
    if (!platform::readTextFile(templatePath)) {
        problems.push_back({path, numbered.line,
                            "the template " + name + " (" + templatePath +
                                ") is missing: the fixed notification is sent instead"});
    }
}

}  // namespace

std::vector<ConfigProblem> DiagnoseActionFiles(const filters::FilterTable& table,
                                               const std::string& configuration) {
    std::vector<ConfigProblem> problems;
    std::set<std::string> seen;  // filters may share a criteria name
    for (int position = 1; position <= table.filterCount(); ++position) {
        const filters::FilterDefinition& filter = table.filter(position);
        std::string path =
            platform::resolvePath(config::ActionFilePath(configuration, filter.criteriaName));
        if (!seen.insert(path).second) continue;
        auto lines = filters::ReadNumberedConfigLines(path);
        if (!lines) {
            problems.push_back({path, 0,
                                "the action file of filter " + std::to_string(position) + " (" +
                                    filter.name + ") is missing: the filter runs no action"});
            continue;
        }
        int lastCut = 0;
        for (const filters::NumberedLine& line : *lines) {
            if (line.tooLong && line.line != lastCut) {
                lastCut = line.line;
                problems.push_back({path, line.line,
                                    "the line is longer than " +
                                        std::to_string(filters::kConfigLineLimit) +
                                        " characters and is read as several lines"});
            }
            diagnoseLine(line, path, configuration, problems);
        }
    }
    return problems;
}

}  // namespace kz::tool
