#include "platform/guid.h"

namespace kz::platform {

std::string newQueuedMessageId() {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string id;
    id.reserve(36);
    for (uint8_t b : newGuid()) {
        id += kHex[b >> 4];
        id += kHex[b & 0x0F];
    }
    id += ".MAI";
    return id;
}

}  // namespace kz::platform
