#include "platform/posix/registry_text.h"
#include "platform/posix/text_codecs.h"

namespace kz::platform::reg {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kByteEscape = 0xDC00;  // + a byte from 0x80 up that is not UTF-8

void appendUtf16(std::string& out, char32_t cp) {
    auto unit = [&out](char32_t u) {
        out.push_back(char(u & 0xFF));
        out.push_back(char(u >> 8));
    };
    if (cp < 0x10000) {
        unit(cp);
    } else {
        cp -= 0x10000;
        unit(0xD800 + (cp >> 10));
        unit(0xDC00 + (cp & 0x3FF));
    }
}

}  // namespace

std::string utf16leToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t units = bytes.size() / 2;
    auto unitAt = [&](std::size_t i) {
        return char32_t(uint8_t(bytes[2 * i])) | (char32_t(uint8_t(bytes[2 * i + 1])) << 8);
    };
    for (std::size_t i = 0; i < units; ++i) {
        char32_t u = unitAt(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            char32_t low = unitAt(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                posix::appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= kByteEscape + 0x80 && u <= kByteEscape + 0xFF) {
            out.push_back(char(u - kByteEscape));
            continue;
        }
        posix::appendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : u);
    }
    return out;
}

std::string utf8ToUtf16le(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    for (std::size_t at = 0; at < utf8.size();) {
        char32_t cp = 0;
        if (!posix::nextUtf8CodePoint(utf8, at, cp)) cp = kByteEscape + uint8_t(utf8[at++]);
        appendUtf16(out, cp);
    }
    return out;
}

}  // namespace kz::platform::reg
