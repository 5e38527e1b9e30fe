#pragma once
// std::filesystem paths to and from the UTF-8 text every other function here takes. A
// path made from a plain char string is read in the ANSI code page on Windows, where a
// name outside it changes or fails; char8_t text is UTF-8 on every system.

#include <filesystem>
#include <string>
#include <string_view>

namespace kz::platform {

inline std::filesystem::path pathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace kz::platform
