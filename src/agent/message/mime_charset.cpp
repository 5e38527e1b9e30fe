#include "message/mime_charset.h"

#include "message/charset_table.h"
#include "platform/codepage.h"

namespace kz {
namespace {

void appendCodePoint(std::string& out, unsigned char byte) {
    out += char(0xC0 | (byte >> 6));
    out += char(0x80 | (byte & 0x3F));
}

// The default code page leaves a few byte values unassigned; a whole-text conversion then
// fails, so those bytes are taken as the code points of the same value instead.
std::string singleByteToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
            continue;
        }
        std::optional<std::string> one =
            platform::toUtf8(std::string_view(&c, 1), platform::kDefaultSingleByteCodePage);
        if (one) {
            out += *one;
        } else {
            appendCodePoint(out, byte);
        }
    }
    return out;
}

// Code pages that read ASCII as ASCII: US-ASCII, the ISO-8859 family and the Windows
// single-byte pages. (Not every code page does: Shift-JIS reads 0x5C as a yen sign.)
bool readsAsciiAsAscii(unsigned codePage) {
    return codePage == 20127 || (codePage >= 28591 && codePage <= 28605) ||
           (codePage >= 1250 && codePage <= 1258);
}

bool isAscii(std::string_view bytes) {
    unsigned char any = 0;
    for (char c : bytes) any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

}  // namespace

std::string LegacyBytesToUtf8(std::string_view bytes) {
    if (platform::isValidUtf8(bytes)) return std::string(bytes);
    if (auto whole = platform::toUtf8(bytes, platform::kDefaultSingleByteCodePage)) return *whole;
    return singleByteToUtf8(bytes);
}

std::optional<std::string> CharsetToUtf8(std::string_view bytes, std::string_view charset) {
    unsigned codePage = CodePageForCharset(charset);
    if (codePage == 0) return std::nullopt;
    // Most mail is plain ASCII: it needs no conversion.
    if (readsAsciiAsAscii(codePage) && isAscii(bytes)) return std::string(bytes);
    return platform::toUtf8(bytes, codePage);
}

}  // namespace kz
