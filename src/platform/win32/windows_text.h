#pragma once
// Helpers of the Windows layer: the text of a system error number.

#include <string>

namespace kz::platform::win32 {

// FormatMessage's text for the error, without its line break; "error N" when unknown.
std::string errorText(unsigned long error);

}  // namespace kz::platform::win32
