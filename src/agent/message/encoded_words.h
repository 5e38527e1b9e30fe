#pragma once
// RFC 2047 encoded words in header values ("=?charset?B|Q?text?=") and the Q-style
// encoder used when a value is written into a message.

#include <cstddef>
#include <string>
#include <string_view>

namespace kz {

// Decodes every well-formed encoded word and converts it from its charset; the text
// around the words (white space between two words included) is kept, read as UTF-8 when
// it is valid UTF-8 and in the platform's default single-byte code page otherwise. A
// malformed word stays as plain text. The result is UTF-8, or the target charset when
// that is a known charset other than UTF-8 and the text converts to it.
std::string DecodeEncodedWords(std::string_view text, std::string_view targetCharset = "utf-8");

// Writes at most `inputLimit` characters of `text` into `output`, each control
// character, byte from 127 up, "=", "?" and "_" as "=" and two upper-case hexadecimal
// digits, every other character (the blank included) as it stands. With a non-zero
// `outputSize` the output keeps to outputSize-1 characters: 1 when all input characters
// were written, 0 when one did not fit (the output then holds those before it).
int EncodeQText(std::string_view text, std::size_t inputLimit, std::string& output,
                std::size_t outputSize);

}  // namespace kz
