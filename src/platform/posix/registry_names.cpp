#include <array>

#include "base/ascii.h"
#include "platform/posix/registry_text.h"

namespace kz::platform {

namespace reg {

bool isSameOrBelow(std::string_view path, std::string_view key) {
    if (key.empty()) return true;
    if (!startsWithIgnoreCase(path, key)) return false;
    return path.size() == key.size() || path[key.size()] == '\\';
}

}  // namespace reg

std::string normalizeRegKeyPath(std::string_view key) {
    constexpr std::array<std::string_view, 2> kHives = {"HKEY_LOCAL_MACHINE", "HKLM"};
    for (std::string_view hive : kHives) {
        if (reg::namesEqual(key, hive)) return {};
        if (reg::isSameOrBelow(key, hive)) {
            key.remove_prefix(hive.size());
            break;
        }
    }
    while (!key.empty() && key.front() == '\\') key.remove_prefix(1);
    while (!key.empty() && key.back() == '\\') key.remove_suffix(1);
    return std::string(key);
}

}  // namespace kz::platform
