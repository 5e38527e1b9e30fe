#include "platform/console.h"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/win32/windows_text.h"

namespace kz::platform {

// Through the runtime's descriptor 1, so a host that redirected it gets the lines;
// one write per line keeps lines of concurrent threads whole.
void writeStdout(std::string_view text) {
    while (!text.empty()) {
        int n = _write(1, text.data(), unsigned(std::min<size_t>(text.size(), 1u << 30)));
        if (n <= 0) return;
        text.remove_prefix(size_t(n));
    }
}

void writeDebugger(std::string_view text) {
    OutputDebugStringW(win32::widen(text).c_str());
}

bool stdoutIsTerminal() {
    return _isatty(1) != 0;
}

bool stderrIsTerminal() {
    return _isatty(2) != 0;
}

bool stdinIsTerminal() {
    return _isatty(0) != 0;
}

bool setStdinEcho(bool on) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) return false;
    mode = on ? (mode | ENABLE_ECHO_INPUT) : (mode & ~DWORD(ENABLE_ECHO_INPUT));
    return SetConsoleMode(input, mode) != 0;
}

}  // namespace kz::platform
