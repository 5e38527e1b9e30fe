#include "filters/word_file_snapshots.h"

#include <optional>
#include <vector>

#include "filters/config_lines.h"
#include "filters/file_snapshots.h"

namespace kz::filters {

namespace {

FileSnapshots<CompiledWordList>& snapshots() {
    static FileSnapshots<CompiledWordList> files;
    return files;
}

}  // namespace

std::optional<std::vector<std::string>> ReadWordFileLines(const std::string& path) {
    std::optional<std::vector<std::string>> lines = ReadConfigLines(path);
    if (!lines) return std::nullopt;
    for (std::string& line : *lines) {
        if (line.find('\n') != std::string::npos) line.pop_back();
    }
    return lines;
}

std::shared_ptr<const CompiledWordList> CurrentWordFile(const std::string& path, bool* kept) {
    auto read = [](const std::string& file) -> std::shared_ptr<const CompiledWordList> {
        std::optional<std::vector<std::string>> lines = ReadWordFileLines(file);
        if (!lines) return nullptr;
        return std::make_shared<const CompiledWordList>(std::move(*lines));
    };
    return snapshots().current(path, read, kept);
}

}  // namespace kz::filters
