#pragma once
// Values expanded from message content and envelopes end up in line-based queue files.
// A carriage return or line feed in such a value would start a line of its own there.

#include <string>
#include <string_view>

namespace kz {

// The text with each carriage return and line feed turned into a blank.
std::string BlankLineBreaks(std::string_view text);
void BlankLineBreaksInPlace(std::string& text);

}  // namespace kz
