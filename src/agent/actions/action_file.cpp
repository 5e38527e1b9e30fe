#include "actions/action_file.h"

#include <optional>

#include "actions/action_keywords.h"
#include "config/paths.h"
#include "filters/config_lines.h"
#include "filters/file_snapshots.h"
#include "platform/files.h"

namespace kz::actions {

namespace {

using Lines = std::vector<ActionLine>;

filters::FileSnapshots<Lines>& snapshots() {
    static filters::FileSnapshots<Lines> files;
    return files;
}

std::shared_ptr<const Lines> readLines(const std::string& path) {
    std::optional<std::vector<std::string>> texts = filters::ReadConfigLines(path);
    if (!texts) return nullptr;
    Lines lines;
    lines.reserve(texts->size());
    for (const std::string& text : *texts) lines.push_back(ParseActionLine(text));
    return std::make_shared<const Lines>(std::move(lines));
}

}  // namespace

std::shared_ptr<const Lines> CurrentActionLines(std::string_view configuration,
                                                std::string_view criteriaName) {
    // The name as spelled first: it needs no look into the folder.
    const std::string path = config::ActionFilePath(configuration, criteriaName);
    if (auto lines = snapshots().current(path, readLines)) return lines;
    const std::string resolved = platform::resolvePath(path);
    if (resolved == path) return nullptr;
    return snapshots().current(resolved, readLines);
}

std::vector<const ActionLine*> LinesThatWouldRun(const std::vector<ActionLine>& lines) {
    std::vector<const ActionLine*> run;
    for (const ActionLine& line : lines) {
        if (line.status != 1) continue;
        run.push_back(&line);
        const ActionKeyword* keyword = FindActionKeyword(line.keyword);
        if (keyword && keyword->stops) break;
    }
    return run;
}

}  // namespace kz::actions
