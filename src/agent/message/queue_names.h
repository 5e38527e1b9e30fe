#pragma once
// Connector names and message identifiers become path components of the queue. A name
// that could leave its folder is refused before any file is touched.

#include <string_view>

namespace kz {

// False for an empty name, ".", and a name that holds '/', '\\', ".." or a NUL character.
bool IsSafeQueueName(std::string_view name);

}  // namespace kz
