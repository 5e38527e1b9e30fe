#pragma once
// Values in the agent's tagged texts: "<NAME>value</NAME>".

#include <string>
#include <string_view>

namespace kz::providers {

// The text between the first "<name>" and the next "</name>"; empty when either is missing.
inline std::string_view TagValue(std::string_view text, std::string_view name) {
    const std::string open = "<" + std::string(name) + ">";
    const std::string close = "</" + std::string(name) + ">";
    const std::size_t start = text.find(open);
    if (start == std::string_view::npos) return {};
    const std::size_t end = text.find(close, start + open.size());
    if (end == std::string_view::npos) return {};
    return text.substr(start + open.size(), end - start - open.size());
}

}  // namespace kz::providers
