#include "platform/console.h"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <string>

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
    OutputDebugStringA(std::string(text).c_str());
}

bool stdoutIsTerminal() {
    return _isatty(1) != 0;
}

bool stderrIsTerminal() {
    return _isatty(2) != 0;
}

}  // namespace kz::platform
