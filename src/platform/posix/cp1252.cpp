// Windows-1252 as Windows converts it: the five bytes the code page leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 controls of the same value. glibc's
// CP1252 refuses them, which would make any text containing one unreadable, and this
// is the code page applied to arbitrary header bytes.

#include <iterator>

#include "platform/posix/text_codecs.h"

namespace kz::platform::posix {

namespace {

constexpr char16_t kHighHalf[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

std::optional<char> byteFor(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return char(cp);
    for (size_t i = 0; i < std::size(kHighHalf); ++i) {
        if (kHighHalf[i] == cp) return char(0x80 + i);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char c : bytes) {
        unsigned char b = static_cast<unsigned char>(c);
        appendUtf8(out, b >= 0x80 && b < 0xA0 ? char32_t(kHighHalf[b - 0x80]) : char32_t(b));
    }
    return out;
}

std::optional<std::string> utf8ToCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t pos = 0;
    char32_t cp;
    while (pos < utf8.size()) {
        if (!nextUtf8CodePoint(utf8, pos, cp)) return std::nullopt;
        std::optional<char> b = byteFor(cp);
        if (!b) return std::nullopt;
        out += *b;
    }
    return out;
}

}  // namespace kz::platform::posix
