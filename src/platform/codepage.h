#pragma once
// Code-page conversion keyed by Windows code page numbers.

#include <optional>
#include <string>
#include <string_view>

namespace kz::platform {

constexpr unsigned kDefaultSingleByteCodePage = 1252;
constexpr unsigned kCodePageUtf8 = 65001;

// The iconv name of a Windows code page, or null when unknown to iconv (HZ, 52936,
// is converted without iconv).
const char* iconvNameForCodePage(unsigned codePage);
bool isCodePageSupported(unsigned codePage);

// Converts between a code page and UTF-8. Null when the code page is unknown or the
// input cannot be converted (invalid bytes, a character the target lacks). Safe to
// call from any number of threads.
std::optional<std::string> toUtf8(std::string_view bytes, unsigned codePage);
std::optional<std::string> fromUtf8(std::string_view utf8, unsigned codePage);

// Strict: no overlong forms, no surrogates, nothing above U+10FFFF, nothing truncated.
bool isValidUtf8(std::string_view bytes);

}  // namespace kz::platform
