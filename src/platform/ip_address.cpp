#include "platform/ip_address.h"

namespace kz::platform {

namespace {

// One part of a numeric host: its value, or none when it is not a number or exceeds
// 32 bits.
std::optional<uint64_t> numericPart(std::string_view part) {
    if (part.empty()) return std::nullopt;
    unsigned base = 10;
    if (part.size() > 1 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X')) {
        base = 16;
        part.remove_prefix(2);
    } else if (part.size() > 1 && part[0] == '0') {
        base = 8;
        part.remove_prefix(1);
    }
    uint64_t value = 0;
    for (char c : part) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = unsigned(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = unsigned(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = unsigned(c - 'A' + 10);
        else
            return std::nullopt;
        if (digit >= base) return std::nullopt;
        value = value * base + digit;
        if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<uint32_t> parseIPv4(std::string_view text) {
    uint32_t address = 0;
    int parts = 0;
    while (true) {
        const std::size_t dot = text.find('.');
        const std::string_view part = text.substr(0, dot);
        if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0'))
            return std::nullopt;
        unsigned value = 0;
        for (char c : part) {
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + unsigned(c - '0');
        }
        if (value > 255 || ++parts > 4) return std::nullopt;
        address = (address << 8) | value;
        if (dot == std::string_view::npos) break;
        text.remove_prefix(dot + 1);
    }
    if (parts != 4) return std::nullopt;
    return address;
}

std::string formatIPv4(uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

std::optional<uint32_t> parseIPv4Numeric(std::string_view text) {
    uint64_t parts[4] = {};
    int count = 0;
    while (true) {
        const std::size_t dot = text.find('.');
        if (count == 4) return std::nullopt;
        const std::optional<uint64_t> part = numericPart(text.substr(0, dot));
        if (!part) return std::nullopt;
        parts[count++] = *part;
        if (dot == std::string_view::npos) break;
        text.remove_prefix(dot + 1);
    }
    uint64_t address = 0;
    for (int i = 0; i < count - 1; ++i) {
        if (parts[i] > 255) return std::nullopt;
        address |= parts[i] << (8 * (3 - i));
    }
    // The last part fills the bytes that the others left.
    const int lastBytes = 4 - (count - 1);
    if (lastBytes < 4 && parts[count - 1] >= (uint64_t(1) << (8 * lastBytes))) return std::nullopt;
    return uint32_t(address | parts[count - 1]);
}

}  // namespace kz::platform
