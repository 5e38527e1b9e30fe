#include "platform/process_info.h"

#include <windows.h>

#include "platform/win32/windows_text.h"

namespace kz::platform {

std::string executablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (n == 0) return {};
        // A full buffer may be a cut path; better none than a wrong one.
        if (n < path.size()) {
            path.resize(n);
            return win32::narrow(path);
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

uint64_t currentProcessId() {
    return GetCurrentProcessId();
}

int lastErrorCode() {
    return int(GetLastError());
}

}  // namespace kz::platform
