#include "platform/environment.h"

#include <windows.h>

#include <cstdlib>

#include "platform/win32/windows_text.h"

namespace kz::platform {

// From the process's own wide block: the runtime's copies are made in the ANSI code page.
std::optional<std::string> getEnvironment(std::string_view name) {
    const std::wstring wideName = win32::widen(name);
    std::wstring value(64, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD size =
            GetEnvironmentVariableW(wideName.c_str(), value.data(), DWORD(value.size() + 1));
        if (size == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        if (size <= value.size()) {
            value.resize(size);
            return win32::narrow(value);
        }
        value.resize(size);  // the size with its terminating null: room and to spare
    }
}

// _wputenv_s changes the runtime's copy and the process environment that children get.
void setEnvironment(std::string_view name, std::string_view value) {
    _wputenv_s(win32::widen(name).c_str(), win32::widen(value).c_str());
}

}  // namespace kz::platform
