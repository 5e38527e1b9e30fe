#pragma once
// Content-Transfer-Encoding decoders.

#include <optional>
#include <string>
#include <string_view>

namespace kz {

// Strict RFC 2045 base64: white space is skipped anywhere; any other character outside
// the alphabet, a short group, misplaced padding, text after the padding or non-zero
// unused bits make it fail.
std::optional<std::string> DecodeBase64(std::string_view text);

// Quoted-printable: soft line breaks (after CR LF or a bare LF) are removed, "=XX" gives
// the byte, a stray "=" is dropped and the character after it kept, a final "=" stays.
std::string DecodeQuotedPrintable(std::string_view text);

// Decodes by encoding name ("base64", "quoted-printable"; any case). Other encodings,
// failed decodings and decodings that yield nothing give the content unchanged.
std::string TransferDecode(std::string_view content, std::string_view encoding);

}  // namespace kz
