// Fuzz target: a message file as the MIME reader takes it apart — header list with its
// encoded words, parts with their RFC 2231 parameters, transfer decoding and charset
// conversion of the bodies — and the raw-line parameter readers of the line-by-line
// scan. Besides not crashing, the base64 and quoted-printable decoders must invert a
// plain encoder, and setting a header must keep the body byte for byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "message/encoded_words.h"
#include "message/header_params.h"
#include "message/message_header_text.h"
#include "message/mime_line_params.h"
#include "message/mime_reader.h"
#include "message/transfer_decode.h"
#include "platform/codepage.h"

namespace {

std::string encodeBase64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = uint32_t(uint8_t(bytes[i])) << 16;
        if (i + 1 < bytes.size()) group |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size()) group |= uint8_t(bytes[i + 2]);
        out += kAlphabet[(group >> 18) & 63];
        out += kAlphabet[(group >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(group >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[group & 63] : '=';
        if (out.size() % 78 == 76) out += "\r\n";
    }
    return out;
}

std::string encodeQuotedPrintable(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : bytes) {
        auto byte = uint8_t(c);
        if (byte == '=' || byte < 33 || byte > 126) {
            out += '=';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
        if (out.size() % 72 > 68) out += "=\r\n";
    }
    return out;
}

void checkDecoders(std::string_view bytes) {
    KZ_FUZZ_CHECK(kz::DecodeBase64(encodeBase64(bytes)) == bytes);
    KZ_FUZZ_CHECK(kz::DecodeQuotedPrintable(encodeQuotedPrintable(bytes)) == bytes);
    // A text the strict decoder accepts is the canonical encoding of what it gives.
    if (std::optional<std::string> decoded = kz::DecodeBase64(bytes)) {
        std::string canonical;
        for (char c : bytes) {
            if (c != ' ' && (c < '\t' || c > '\r')) canonical += c;
        }
        std::string again = encodeBase64(*decoded);
        std::erase(again, '\r');
        std::erase(again, '\n');
        KZ_FUZZ_CHECK(again == canonical);
    }
}

// A value encoded for a header, as templates and header actions write it, reads back as
// an encoded word; a blank is written as it stands and would end the word.
void checkEncodedWord(std::string_view text) {
    if (text.find_first_of(" \t") != std::string_view::npos || !kz::platform::isValidUtf8(text))
        return;
    std::string encoded;
    KZ_FUZZ_CHECK(kz::EncodeQText(text, text.size(), encoded, 0) == 1);
    KZ_FUZZ_CHECK(kz::DecodeEncodedWords("=?utf-8?Q?" + encoded + "?=") == text);
}

void checkHeaderSetting(std::string_view message) {
    std::string line = kz::FormatHeaderLine("X-KZFilter", "1");
    std::string out =
        kz::SetHeaderInText(message, "X-KZFilter", line, kz::HeaderMode::ReplaceOrAdd);
    KZ_FUZZ_CHECK(out.find(line) != std::string::npos);
    // The body starts at the first line that begins with a line end.
    std::size_t pos = 0;
    while (pos < message.size() && message[pos] != '\r' && message[pos] != '\n') {
        std::size_t end = message.find('\n', pos);
        pos = end == std::string_view::npos ? message.size() : end + 1;
    }
    KZ_FUZZ_CHECK(std::string_view(out).ends_with(message.substr(pos)));
}

void checkLineParameters(std::string_view text) {
    std::string value;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = std::min(text.find('\n', pos), text.size());
        std::string_view line = text.substr(pos, end - pos);
        if (kz::ExtractLineParameter(line, "boundary=", value, kz::TextLimit{256})) {
            KZ_FUZZ_CHECK(value.size() < 256);
        }
        if (kz::ExtractAttachmentParameter(line, "filename", value, kz::TextLimit{256})) {
            KZ_FUZZ_CHECK(value.size() < 256);
        }
        pos = end + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kz::fuzz::SilenceStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    kz::MimeReader reader;
    reader.loadText(text);
    for (const kz::HeaderEntry& header : reader.headers()) {
        kz::DecodeEncodedWords(header.value, "iso-8859-1");
    }
    for (const kz::MimePart& part : reader.parts()) {
        kz::TransferDecode(part.content, part.transferEncoding);
        kz::ExtractParameterValue("name", part.rawHeaders);
    }
    reader.plainTextBody();
    reader.htmlBody();

    checkDecoders(std::string_view(text).substr(0, 4096));
    checkEncodedWord(std::string_view(text).substr(0, 200));
    checkHeaderSetting(text);
    checkLineParameters(text);
    return 0;
}
