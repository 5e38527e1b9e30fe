#include "message/transfer_decode.h"

#include "base/ascii.h"
#include "base/base64_alphabet.h"
#include "message/mime_text.h"

namespace kz {
namespace {

bool isBase64Space(char c) {
    return isWhiteSpace(c) || c == '\f' || c == '\v';
}

// Checks the padded tail of a base64 text that starts at `pos` (the first "="), for a
// group that holds `filled` sextets so far; the padding must complete the group and only
// white space may follow it.
bool paddingIsValid(std::string_view text, std::size_t pos, int filled) {
    if (filled < 2) return false;
    int needed = 4 - filled;
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        if (isBase64Space(c)) continue;
        if (c != '=' || needed == 0) return false;
        --needed;
    }
    return needed == 0;
}

}  // namespace

std::optional<std::string> DecodeBase64(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 4 * 3);
    unsigned group = 0;
    int filled = 0;
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        char c = text[pos];
        if (isBase64Space(c)) continue;
        if (c == '=') {
            if (!paddingIsValid(text, pos, filled)) return std::nullopt;
            // The bits that the padding leaves unused must be zero.
            if (filled == 2) {
                if (group & 0xF) return std::nullopt;
                out += char(group >> 4);
            } else {
                if (group & 0x3) return std::nullopt;
                out += char(group >> 10);
                out += char((group >> 2) & 0xFF);
            }
            return out;
        }
        int value = Base64Value(c);
        if (value < 0) return std::nullopt;
        group = (group << 6) | unsigned(value);
        if (++filled == 4) {
            out += char((group >> 16) & 0xFF);
            out += char((group >> 8) & 0xFF);
            out += char(group & 0xFF);
            group = 0;
            filled = 0;
        }
    }
    if (filled != 0) return std::nullopt;
    return out;
}

std::string DecodeQuotedPrintable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        char c = text[i];
        if (c != '=' || i + 1 == n) {
            out += c;
            continue;
        }
        char next = text[i + 1];
        if (next == '\n') {
            i += 1;
        } else if (next == '\r' && i + 2 < n && text[i + 2] == '\n') {
            i += 2;
        } else if (i + 2 < n && hexValue(next) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += char(hexValue(next) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += next;
            i += 1;
        }
    }
    return out;
}

std::string TransferDecode(std::string_view content, std::string_view encoding) {
    std::string_view name = trimBlanks(encoding);
    std::optional<std::string> decoded;
    if (equalsIgnoreCase(name, "base64")) {
        decoded = DecodeBase64(content);
    } else if (equalsIgnoreCase(name, "quoted-printable")) {
        decoded = DecodeQuotedPrintable(content);
    }
    if (!decoded || decoded->empty()) return std::string(content);
    return std::move(*decoded);
}

}  // namespace kz
