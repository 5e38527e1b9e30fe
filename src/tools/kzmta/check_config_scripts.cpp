#include "check_config_scripts.h"

#include <algorithm>
#include <set>
#include <string>

#include "filters/criteria_files.h"
#include "filters/criteria_script_text.h"
#include "filters/script_host.h"

namespace kz::tool {

namespace {

// Where the filter's own script starts in its generated script: the number of lines
// of the fixed head, found with a marker in place of the script.
int headLineCount(int position, const filters::FilterDefinition& filter,
                  const filters::CriteriaResults& results) {
    filters::FilterDefinition marked = filter;
    marked.scriptText = "\x01";
    std::string generated =
        filters::GenerateCriteriaScript(position, marked, results, nullptr, false);
    std::size_t marker = generated.find('\x01');
    if (marker == std::string::npos) return 0;
    return int(std::count(generated.begin(), generated.begin() + marker, '\n'));
}

// The first syntax error of the script as the agent runs it (inside KZ_Execute), with
// its line in the .KZS file when it stands there.
std::optional<filters::ConfigProblem> scriptProblem(const std::string& path, int position,
                                                    const filters::FilterDefinition& filter,
                                                    const filters::CriteriaResults& results) {
    std::string generated =
        filters::GenerateCriteriaScript(position, filter, results, nullptr, false);
    auto error = filters::CheckScriptSyntax(generated);
    if (!error) return std::nullopt;
    int line = error->line - headLineCount(position, filter, results);
    int scriptLines = int(std::count(filter.scriptText.begin(), filter.scriptText.end(), '\n')) + 1;
    std::string message = "syntax error: " + error->description;
    if (line < 1 || line > scriptLines) {
        message += " (at the end of the script: a block is left open)";
        line = 0;
    }
    return filters::ConfigProblem{path, line, message + ": the filter can never hold"};
}

}  // namespace

std::vector<filters::ConfigProblem> DiagnoseCriteriaScripts(const filters::FilterTable& table) {
    std::vector<filters::ConfigProblem> problems;
    filters::CriteriaResults results;  // empty: no message, every instance value blank
    filters::AllocateResults(table, results);
    std::set<std::string> seen;  // filters may share a script
    for (int position = 1; position <= table.filterCount(); ++position) {
        const filters::FilterDefinition& filter = table.filter(position);
        if (!filter.isScript) continue;
        std::string path = filters::CriteriaFilePath(table, filter.criteriaName, "KZS");
        if (!seen.insert(path).second) continue;
        if (auto problem = scriptProblem(path, position, filter, results)) {
            problems.push_back(*problem);
        }
    }
    filters::ReleaseResults(results);
    return problems;
}

}  // namespace kz::tool
