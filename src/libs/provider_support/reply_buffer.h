#pragma once
// Texts handed back through a caller's fixed buffer: cut to fit, always terminated.

#include <algorithm>
#include <cstddef>
#include <cstdint>
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

// The reply buffer of a request-style entry holds 1024 bytes; a smaller reply length
// offered makes it smaller.
constexpr std::size_t kReplyBufferSize = 1024;

inline std::size_t ReplyCapacity(const int32_t* replyLength) {
    if (replyLength && *replyLength > 0 && std::size_t(*replyLength) < kReplyBufferSize)
        return std::size_t(*replyLength);
    return kReplyBufferSize;
}

// Answers a request-style call: the reply, its length, and the entry's result 1.
inline int AnswerRequest(char* reply, int32_t* replyLength, std::string_view text) {
    const std::size_t written = fillBuffer(reply, ReplyCapacity(replyLength), text);
    if (replyLength) *replyLength = int32_t(written);
    return 1;
}

}  // namespace kz::providers
