#include "platform/dns_negative_ttl.h"

#include <algorithm>
#include <cstdint>

namespace kz::platform {

namespace {

constexpr int kHeaderSize = 12;
constexpr uint16_t kTypeSoa = 6;

struct Reader {
    const unsigned char* begin;
    int length;
    int at = kHeaderSize;

    bool has(int bytes) const { return at + bytes <= length; }
    uint32_t number(int bytes) {
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) value = (value << 8) | begin[at++];
        return value;
    }
    // A name is labels up to an empty one, or up to a pointer to a name elsewhere.
    bool skipName() {
        while (at < length) {
            const unsigned char size = begin[at];
            if (size == 0) {
                ++at;
                return true;
            }
            if ((size & 0xC0) == 0xC0) {
                at += 2;
                return at <= length;
            }
            if ((size & 0xC0) != 0) return false;
            at += 1 + size;
        }
        return false;
    }
};

}  // namespace

std::optional<std::chrono::seconds> negativeTtlOf(const unsigned char* answer, int length) {
    if (!answer || length < kHeaderSize) return std::nullopt;
    Reader in{answer, length};
    const auto count = [&](int offset) { return (answer[offset] << 8) | answer[offset + 1]; };
    const int questions = count(4);
    const int records = count(6) + count(8);  // answers, then the authority section
    for (int i = 0; i < questions; ++i) {
        if (!in.skipName() || !in.has(4)) return std::nullopt;
        in.at += 4;
    }
    for (int i = 0; i < records; ++i) {
        if (!in.skipName() || !in.has(10)) return std::nullopt;
        const uint32_t type = in.number(2);
        in.at += 2;  // class
        const uint32_t ttl = in.number(4);
        const int dataLength = static_cast<int>(in.number(2));
        if (!in.has(dataLength)) return std::nullopt;
        if (type == kTypeSoa && dataLength >= 20) {
            in.at += dataLength - 4;  // the minimum is the last field
            const uint32_t minimum = in.number(4);
            // A TTL with its top bit set counts as 0 (RFC 2181).
            const uint32_t value = std::min(ttl, minimum);
            return std::chrono::seconds(value > 0x7FFFFFFFu ? 0 : value);
        }
        in.at += dataLength;
    }
    return std::nullopt;
}

}  // namespace kz::platform
