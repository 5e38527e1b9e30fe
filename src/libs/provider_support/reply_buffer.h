#pragma once
// Texts handed back through a caller's fixed buffer: cut to fit, always terminated.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace kz::providers {

// Copies at most size-1 bytes of text and a terminator; the length copied.
inline std::size_t fillBuffer(char* buffer, std::size_t size, std::string_view text) {
    if (!buffer || size == 0) return 0;
    const std::size_t length = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return length;
}

}  // namespace kz::providers
