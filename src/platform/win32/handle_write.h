#pragma once
// Writing all of a text to a file handle.

#include <string_view>

namespace kz::platform::win32 {

// Writes every byte, in as few calls as the system allows; false on an error.
bool writeAllTo(void* handle, std::string_view data);

}  // namespace kz::platform::win32
