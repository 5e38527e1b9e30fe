#include "filters/pattern_cache.h"

#include "platform/files.h"

namespace kz::filters {

namespace {

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    platform::FileSize size = platform::fileSize(path);
    if (size.status != platform::FileStatus::Ok || size.size < 1) return lines;
    std::optional<std::string> text = platform::readTextFile(path);
    if (!text) return lines;
    std::string_view rest = *text;
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        if (!line.empty()) lines.emplace_back(line);
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return lines;
}

}  // namespace

std::shared_ptr<const PatternList> LoadPatternList(const std::string& path) {
    return std::make_shared<const PatternList>(
        PatternList{path, CompiledWordList(readLines(path))});
}

std::shared_ptr<const PatternList> PatternCache::find(std::string_view path) const {
    auto it = lists_.find(path);
    return it == lists_.end() ? nullptr : it->second;
}

bool PatternCache::load(const std::string& path) {
    if (contains(path)) return false;
    lists_.emplace(path, LoadPatternList(path));
    return true;
}

}  // namespace kz::filters
