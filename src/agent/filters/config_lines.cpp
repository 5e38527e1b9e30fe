#include "filters/config_lines.h"

#include "platform/files.h"

namespace kz::filters {

std::vector<std::string> SplitConfigLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::size_t length = end == std::string_view::npos ? text.size() : end;
        if (length > kConfigLineLimit) {
            lines.emplace_back(text.substr(0, kConfigLineLimit));
            text.remove_prefix(kConfigLineLimit);
            continue;
        }
        std::size_t take = end == std::string_view::npos ? text.size() : end + 1;
        lines.emplace_back(text.substr(0, take));
        text.remove_prefix(take);
    }
    return lines;
}

std::optional<std::vector<std::string>> ReadConfigLines(std::string_view path) {
    std::optional<std::string> text = platform::readTextFile(path);
    if (!text) return std::nullopt;
    return SplitConfigLines(*text);
}

std::string_view CutAtLineFeed(std::string_view line) {
    return line.substr(0, line.find('\n'));
}

}  // namespace kz::filters
