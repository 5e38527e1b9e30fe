#pragma once
// Message data shown on a terminal: control characters (escape sequences above all) are
// written as visible escapes instead of reaching the terminal.

#include <string>
#include <string_view>

namespace kz::tool {

// Line feeds and tabs are kept when keepLineBreaks is set, otherwise written as "\n"
// and a blank; carriage returns are dropped; every other control character and DEL
// becomes "\xHH".
std::string PrintableText(std::string_view text, bool keepLineBreaks);

// "Title (N bytes):" and the printable text on the lines below, ending with a line feed;
// "Title (0 bytes): none" for an empty one.
std::string TitledBody(std::string_view title, const std::string& body);

}  // namespace kz::tool
