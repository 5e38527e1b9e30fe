#include <cstdint>
#include <cstring>

#include "platform/codepage.h"
#include "platform/posix/text_codecs.h"

namespace kz::platform {

namespace posix {

bool nextUtf8CodePoint(std::string_view text, size_t& pos, char32_t& codePoint) {
    if (pos >= text.size()) return false;
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(pos);
    if (lead < 0x80) {
        codePoint = lead;
        ++pos;
        return true;
    }
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
        return false;  // continuation byte, overlong C0/C1, or F5 and above
    }
    if (text.size() - pos < length || byte(pos + 1) < low || byte(pos + 1) > high) return false;
    char32_t value = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        unsigned char next = byte(pos + i);
        if ((next & 0xC0) != 0x80) return false;
        value = (value << 6) | (next & 0x3F);
    }
    codePoint = value;
    pos += length;
    return true;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

}  // namespace posix

bool isValidUtf8(std::string_view bytes) {
    // Mail text is mostly ASCII: runs of it are passed over eight bytes at a time.
    constexpr uint64_t kHighBits = 0x8080808080808080ULL;
    size_t pos = 0;
    char32_t cp;
    while (pos < bytes.size()) {
        while (bytes.size() - pos >= sizeof(uint64_t)) {
            uint64_t word;
            std::memcpy(&word, bytes.data() + pos, sizeof word);
            if (word & kHighBits) break;
            pos += sizeof word;
        }
        while (pos < bytes.size() && static_cast<unsigned char>(bytes[pos]) < 0x80) ++pos;
        if (pos < bytes.size() && !posix::nextUtf8CodePoint(bytes, pos, cp)) return false;
    }
    return true;
}

}  // namespace kz::platform
