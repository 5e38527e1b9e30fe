#include "filters/pattern_cache.h"

#include "platform/files.h"

namespace kz::filters {

void LoadPatternList(const std::string& path, PatternList& list) {
    list.path = path;
    list.lines.clear();
    platform::FileSize size = platform::fileSize(path);
    if (size.status != platform::FileStatus::Ok || size.size < 1) return;
    std::optional<std::string> text = platform::readTextFile(path);
    if (!text) return;
    std::string_view rest = *text;
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        if (!line.empty()) list.lines.emplace_back(line);
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
}

const PatternList* PatternCache::find(std::string_view path) const {
    auto it = lists_.find(path);
    return it == lists_.end() ? nullptr : &it->second;
}

bool PatternCache::load(const std::string& path) {
    if (contains(path)) return false;
    PatternList list;
    LoadPatternList(path, list);
    lists_.emplace(path, std::move(list));
    return true;
}

}  // namespace kz::filters
