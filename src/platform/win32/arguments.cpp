#include "platform/arguments.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/win32/windows_text.h"

namespace kz::platform {

std::vector<std::string> programArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    // Without the wide reading, the runtime's is still better than none.
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    arguments.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) arguments.push_back(win32::narrow(wide[i]));
    LocalFree(wide);
    return arguments;
}

}  // namespace kz::platform
