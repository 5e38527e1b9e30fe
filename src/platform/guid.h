#pragma once
// Identities: random GUIDs and the names of new queued messages.

#include <array>
#include <cstdint>
#include <string>

namespace kz::platform {

using Guid = std::array<uint8_t, 16>;
Guid newGuid();  // random (version 4)

// 32 upper-case hexadecimal digits of a new GUID followed by ".MAI".
std::string newQueuedMessageId();

}  // namespace kz::platform
