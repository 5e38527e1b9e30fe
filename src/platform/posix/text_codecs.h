#pragma once
// Pieces of the code-page conversion: iconv, strict UTF-8, and the two code pages
// that are converted without iconv (Windows-1252 with the Windows mapping of its five
// unassigned bytes, and HZ, which glibc's iconv lacks).

#include <optional>
#include <string>
#include <string_view>

namespace kz::platform::posix {

// The system's converters for the code pages not converted by our own code.
bool systemSupportsCodePage(unsigned codePage);
std::optional<std::string> systemToUtf8(std::string_view bytes, unsigned codePage);
std::optional<std::string> systemFromUtf8(std::string_view utf8, unsigned codePage);

// Null when either name is unknown to iconv or the input cannot be converted.
std::optional<std::string> convertWithIconv(const char* from, const char* to, std::string_view in);

// Decodes the code point at `pos` and moves past it; false (pos unchanged) on an
// invalid, overlong, surrogate or truncated sequence.
bool nextUtf8CodePoint(std::string_view text, size_t& pos, char32_t& codePoint);
void appendUtf8(std::string& out, char32_t codePoint);

std::optional<std::string> cp1252ToUtf8(std::string_view bytes);
std::optional<std::string> utf8ToCp1252(std::string_view utf8);

std::optional<std::string> hzToUtf8(std::string_view bytes);
std::optional<std::string> utf8ToHz(std::string_view utf8);

}  // namespace kz::platform::posix
