#include "provider_support/text_split.h"

namespace kz::providers {

namespace {
constexpr std::string_view kBlanks = " \t\r\n";
}

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::vector<std::string_view> SplitItems(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> items;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of(separators);
        std::string_view item = Trim(text.substr(0, end));
        if (!item.empty()) items.push_back(item);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return items;
}

std::string ToLowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

}  // namespace kz::providers
