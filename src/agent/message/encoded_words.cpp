#include "message/encoded_words.h"

#include <optional>

#include "message/charset_table.h"
#include "message/mime_charset.h"
#include "message/mime_text.h"
#include "message/transfer_decode.h"
#include "platform/codepage.h"

namespace kz {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

// Remembers the first occurrence of a needle at or after the last position asked for.
// The decoder asks with rising positions, so each text is searched once in all.
class ForwardFinder {
  public:
    ForwardFinder(std::string_view text, std::string_view needle) : text_(text), needle_(needle) {}
    std::size_t from(std::size_t pos) {
        if (!known_ || (found_ != kNone && found_ < pos)) {
            found_ = text_.find(needle_, pos);
            known_ = true;
        }
        return found_;
    }

  private:
    std::string_view text_;
    std::string_view needle_;
    std::size_t found_ = kNone;
    bool known_ = false;
};

struct EncodedWord {
    std::string_view charset;
    char encoding;
    std::string_view payload;
    std::size_t end;  // position after the closing "?="
};

std::optional<EncodedWord> parseWord(std::string_view text, std::size_t start,
                                     ForwardFinder& questionMarks, ForwardFinder& closers) {
    std::size_t charsetStart = start + 2;
    std::size_t charsetEnd = questionMarks.from(charsetStart);
    if (charsetEnd == kNone || charsetEnd == charsetStart) return std::nullopt;
    std::string_view charset = text.substr(charsetStart, charsetEnd - charsetStart);
    for (char c : charset) {
        if (isWhiteSpace(c)) return std::nullopt;
    }
    if (charsetEnd + 2 >= text.size() || text[charsetEnd + 2] != '?') return std::nullopt;
    std::size_t payloadStart = charsetEnd + 3;
    std::size_t close = closers.from(payloadStart);
    if (close == kNone) return std::nullopt;
    return EncodedWord{charset, text[charsetEnd + 1],
                       text.substr(payloadStart, close - payloadStart), close + 2};
}

std::string decodePayload(const EncodedWord& word) {
    if (word.encoding == 'B' || word.encoding == 'b') return TransferDecode(word.payload, "base64");
    std::string text(word.payload);
    for (char& c : text) {
        if (c == '_') c = ' ';
    }
    return DecodeQuotedPrintable(text);
}

std::string wordToUtf8(const EncodedWord& word) {
    std::string bytes = decodePayload(word);
    // An RFC 2231 language suffix ("utf-8*en") is not part of the charset name.
    std::string_view charset = word.charset.substr(0, word.charset.find('*'));
    if (auto converted = CharsetToUtf8(bytes, charset)) return std::move(*converted);
    return LegacyBytesToUtf8(bytes);
}

std::string utf8ToTarget(std::string utf8, std::string_view targetCharset) {
    unsigned codePage = CodePageForCharset(targetCharset);
    if (codePage == 0 || codePage == platform::kCodePageUtf8) return utf8;
    if (auto converted = platform::fromUtf8(utf8, codePage)) return std::move(*converted);
    return utf8;
}

}  // namespace

std::string DecodeEncodedWords(std::string_view text, std::string_view targetCharset) {
    ForwardFinder questionMarks(text, "?");
    ForwardFinder closers(text, "?=");
    std::string out;
    out.reserve(text.size());
    std::size_t plainStart = 0;
    std::size_t pos = 0;
    while ((pos = text.find("=?", pos)) != kNone) {
        std::optional<EncodedWord> word = parseWord(text, pos, questionMarks, closers);
        if (!word) {
            pos += 2;
            continue;
        }
        out += LegacyBytesToUtf8(text.substr(plainStart, pos - plainStart));
        out += wordToUtf8(*word);
        plainStart = pos = word->end;
    }
    out += LegacyBytesToUtf8(text.substr(plainStart));
    return utf8ToTarget(std::move(out), targetCharset);
}

int EncodeQText(std::string_view text, std::size_t inputLimit, std::string& output,
                std::size_t outputSize) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    output.clear();
    std::string_view input = text.substr(0, inputLimit);
    for (char c : input) {
        auto byte = static_cast<unsigned char>(c);
        bool escape = byte < 32 || byte >= 127 || c == '=' || c == '?' || c == '_';
        std::size_t needed = escape ? 3 : 1;
        if (outputSize > 0 && output.size() + needed > outputSize - 1) return 0;
        if (escape) {
            output += '=';
            output += kHex[byte >> 4];
            output += kHex[byte & 0xF];
        } else {
            output += c;
        }
    }
    return 1;
}

}  // namespace kz
