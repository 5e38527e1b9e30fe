// HZ (RFC 1843), code page 52936: GB2312 in 7-bit form, "~{" and "~}" switching between
// ASCII and GB pairs, "~~" for a tilde, "~" at a line end for a soft break. glibc's
// iconv has no HZ, so it is unwrapped to EUC-CN (the same pairs with the high bit set).

#include "platform/posix/text_codecs.h"

namespace kz::platform::posix {

namespace {

bool isGbByte(unsigned char b) {
    return b >= 0x21 && b <= 0x7E;
}

}  // namespace

std::optional<std::string> hzToUtf8(std::string_view bytes) {
    std::string euc;
    euc.reserve(bytes.size());
    bool gb = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        unsigned char next = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        if (c >= 0x80) return std::nullopt;
        if (c == '~') {
            if (gb ? next != '}' : (next != '~' && next != '{' && next != '\n'))
                return std::nullopt;
            if (next == '~') euc += '~';
            gb = next == '{';
            ++i;
        } else if (gb && isGbByte(c) && isGbByte(next)) {
            euc += char(c | 0x80);
            euc += char(next | 0x80);
            ++i;
        } else if (gb && (c == '\r' || c == '\n')) {
            euc += char(c);  // lenient: a line end also ends GB mode
            gb = false;
        } else if (gb) {
            return std::nullopt;
        } else {
            euc += char(c);
        }
    }
    return convertWithIconv("EUC-CN", "UTF-8", euc);
}

std::optional<std::string> utf8ToHz(std::string_view utf8) {
    std::optional<std::string> euc = convertWithIconv("UTF-8", "EUC-CN", utf8);
    if (!euc) return euc;
    std::string out;
    out.reserve(euc->size() + 8);
    bool gb = false;
    for (size_t i = 0; i < euc->size(); ++i) {
        char c = (*euc)[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            if (i + 1 >= euc->size()) return std::nullopt;
            if (!gb) out += "~{";
            gb = true;
            out += char(c & 0x7F);
            out += char((*euc)[++i] & 0x7F);
            continue;
        }
        if (gb) out += "~}";
        gb = false;
        out += c;
        if (c == '~') out += '~';
    }
    if (gb) out += "~}";
    return out;
}

}  // namespace kz::platform::posix
