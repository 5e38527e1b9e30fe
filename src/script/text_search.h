#pragma once
// Substring search with VBScript's binary and text comparison modes.

#include <string>
#include <string_view>

namespace kz::script {

// Position of needle in hay at or after from; npos when absent.
std::size_t FindText(std::string_view hay, std::string_view needle, std::size_t from,
                     bool textCompare);
// Last position at or before last (npos: from the end); npos when absent.
std::size_t FindTextReverse(std::string_view hay, std::string_view needle, std::size_t last,
                            bool textCompare);

}  // namespace kz::script
