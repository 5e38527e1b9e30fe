#include "platform/console.h"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
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

namespace {

UINT consoleCodePage = 0;

void restoreConsoleCodePage() {
    SetConsoleOutputCP(consoleCodePage);
}

}  // namespace

// The console's output code page set to UTF-8 rather than each write made a WriteConsoleW:
// every line goes out through the C runtime (printf, iostreams, the option parser's
// messages) as the same UTF-8 bytes a redirected run writes, and only the console
// decides how to show them. The code page belongs to the console, which the shell that
// started us shares, so it is given back at exit.
void showUtf8OnConsole() {
    const UINT current = GetConsoleOutputCP();  // 0 without a console
    if (current == 0 || current == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
    consoleCodePage = current;
    std::atexit(restoreConsoleCodePage);
}

}  // namespace kz::platform
