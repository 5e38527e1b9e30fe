#include "platform/win32/windows_text.h"

#include <windows.h>

#include <algorithm>

namespace kz::platform::win32 {

namespace {

// Folders are limited to MAX_PATH less room for an 8.3 name; below this every
// function takes the plain form.
constexpr std::size_t kClassicPathLimit = MAX_PATH - 12;

std::wstring toWide(std::string_view text, UINT codePage, DWORD flags) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(codePage, flags, text.data(), int(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(std::size_t(n), L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), int(text.size()), wide.data(), n);
    return wide;
}

}  // namespace

std::wstring widen(std::string_view text) {
    std::wstring wide = toWide(text, CP_UTF8, MB_ERR_INVALID_CHARS);
    return wide.empty() && !text.empty() ? toWide(text, GetACP(), 0) : wide;
}

std::string narrow(std::wstring_view text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(std::size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring fullPathName(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    const DWORD used = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (used == 0 || used >= size) return {};
    full.resize(used);
    return full;
}

std::wstring widePath(std::string_view path) {
    std::wstring wide = widen(path);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    if (wide.size() < kClassicPathLimit || wide.starts_with(L"\\\\?\\")) return wide;
    // The long form is taken literally: made absolute and without "." or ".." first.
    std::wstring full = fullPathName(wide);
    if (full.empty()) return wide;
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::string errorText(unsigned long error) {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = n && buffer ? narrow(std::wstring_view(buffer, n)) : std::string();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? "error " + std::to_string(error) : text;
}

}  // namespace kz::platform::win32
