#include "platform/guid.h"

#include <objbase.h>

#include <cstring>

#include "platform/crypto.h"

namespace kz::platform {

Guid newGuid() {
    Guid bytes{};
    GUID guid{};
    if (SUCCEEDED(CoCreateGuid(&guid))) {
        std::memcpy(bytes.data(), &guid, bytes.size());
        return bytes;
    }
    randomBytes(bytes.data(), bytes.size());
    bytes[6] = uint8_t((bytes[6] & 0x0F) | 0x40);  // version 4: random
    bytes[8] = uint8_t((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return bytes;
}

}  // namespace kz::platform
