#pragma once
// Splitting of the administrator's list texts.

#include <string>
#include <string_view>
#include <vector>

namespace kz::providers {

// The non-empty items between any of the separator characters, blanks trimmed.
std::vector<std::string_view> SplitItems(std::string_view text, std::string_view separators);
std::string_view Trim(std::string_view text);
std::string ToLowerAscii(std::string_view text);

}  // namespace kz::providers
