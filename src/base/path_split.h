#pragma once
// A path split at its last separator, '/' or '\': paths of either system reach the agent.

#include <cstddef>
#include <string_view>

namespace kz {

struct PathSplit {
    bool hasSeparator = false;
    std::string_view parent;  // before the last separator; empty without one
    std::string_view name;    // after it; the whole path without one
};

constexpr PathSplit splitAtLastSeparator(std::string_view path) {
    std::size_t at = path.find_last_of("/\\");
    if (at == std::string_view::npos) return {false, {}, path};
    return {true, path.substr(0, at), path.substr(at + 1)};
}

}  // namespace kz
