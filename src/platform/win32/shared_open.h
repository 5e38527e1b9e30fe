#pragma once
// Opening a file for reading the way the mail server's own readers do.

#include <windows.h>

#include <string_view>

namespace kz::platform::win32 {

// Others may read, replace or delete the file while we read it, as the MTA does;
// INVALID_HANDLE_VALUE when it cannot be opened.
HANDLE openForReading(std::string_view path);

}  // namespace kz::platform::win32
