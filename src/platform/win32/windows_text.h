#pragma once
// Text at the boundary of the system's functions: the agent's texts are UTF-8, the
// system's are UTF-16. A text that is not UTF-8 is taken in the system's legacy code
// page (GetACP()), as texts written by older tools are.

#include <string>
#include <string_view>

namespace kz::platform::win32 {

std::wstring widen(std::string_view text);
std::string narrow(std::wstring_view text);

// The absolute form of a path, without "." or ".." steps; empty when there is none.
std::wstring fullPathName(const std::wstring& path);

// A path for the wide file functions: separators made native and, for one too long for
// the classic limit, the absolute "\\?\" form, which has none.
std::wstring widePath(std::string_view path);

// FormatMessage's text for the error, without its line break; "error N" when unknown.
std::string errorText(unsigned long error);

}  // namespace kz::platform::win32
