// The system's own converters, MultiByteToWideChar and WideCharToMultiByte, for the code
// pages the shared code leaves to the system.

#include "platform/codepage.h"

#include <windows.h>

#include "platform/posix/text_codecs.h"

namespace kz::platform {

namespace {

// Code pages whose converters refuse every flag.
bool takesNoFlags(unsigned codePage) {
    return codePage == 42 || (codePage >= 50220 && codePage <= 50229) || codePage == 52936 ||
           codePage == 54936 || (codePage >= 57002 && codePage <= 57011) || codePage == 65000;
}

std::optional<std::wstring> toWide(std::string_view bytes, unsigned codePage) {
    if (bytes.empty()) return std::wstring();
    DWORD flags = takesNoFlags(codePage) ? 0 : MB_ERR_INVALID_CHARS;
    int n = MultiByteToWideChar(codePage, flags, bytes.data(), int(bytes.size()), nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring wide(size_t(n), L'\0');
    MultiByteToWideChar(codePage, flags, bytes.data(), int(bytes.size()), wide.data(), n);
    return wide;
}

// Fails instead of putting a default character or a look-alike for one the code page lacks.
std::optional<std::string> fromWide(const std::wstring& wide, unsigned codePage) {
    if (wide.empty()) return std::string();
    bool exact = codePage != CP_UTF8 && !takesNoFlags(codePage);
    DWORD flags = exact ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL usedDefault = FALSE;
    BOOL* check = exact ? &usedDefault : nullptr;
    int n = WideCharToMultiByte(codePage, flags, wide.data(), int(wide.size()), nullptr, 0, nullptr,
                                check);
    if (n <= 0 || usedDefault) return std::nullopt;
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), int(wide.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::optional<std::string> convertWithTables(std::string_view bytes, unsigned from, unsigned to) {
    if (!IsValidCodePage(from) || !IsValidCodePage(to)) return std::nullopt;
    std::optional<std::wstring> wide = toWide(bytes, from);
    return wide ? fromWide(*wide, to) : std::nullopt;
}

// The GB2312 part of HZ: EUC-CN, as the system's GB2312 table reads it.
unsigned codePageOfName(std::string_view name) {
    if (name == "UTF-8") return CP_UTF8;
    if (name == "EUC-CN") return IsValidCodePage(20936) ? 20936 : 936;
    return 0;
}

}  // namespace

namespace posix {

std::optional<std::string> convertWithIconv(const char* from, const char* to, std::string_view in) {
    unsigned fromPage = codePageOfName(from);
    unsigned toPage = codePageOfName(to);
    if (!fromPage || !toPage) return std::nullopt;
    return convertWithTables(in, fromPage, toPage);
}

}  // namespace posix

const char* iconvNameForCodePage(unsigned) {
    return nullptr;
}

namespace posix {

bool systemSupportsCodePage(unsigned codePage) {
    return IsValidCodePage(codePage);
}

std::optional<std::string> systemToUtf8(std::string_view bytes, unsigned codePage) {
    return convertWithTables(bytes, codePage, CP_UTF8);
}

std::optional<std::string> systemFromUtf8(std::string_view utf8, unsigned codePage) {
    return convertWithTables(utf8, CP_UTF8, codePage);
}

}  // namespace posix

}  // namespace kz::platform
