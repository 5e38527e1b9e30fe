#include "platform/console.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace kz::platform {

namespace {

// One write() per line keeps lines of concurrent threads whole (pipes and files
// take writes of this size atomically in practice; we retry only the remainder).
void writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        text.remove_prefix(size_t(n));
    }
}

}  // namespace

void writeStdout(std::string_view text) {
    writeAll(STDOUT_FILENO, text);
}
void writeDebugger(std::string_view text) {
    writeAll(STDERR_FILENO, text);
}

}  // namespace kz::platform

namespace kz::platform {

bool stdoutIsTerminal() {
    return ::isatty(STDOUT_FILENO) == 1;
}
bool stderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}
bool stdinIsTerminal() {
    return ::isatty(STDIN_FILENO) == 1;
}

bool setStdinEcho(bool on) {
    termios settings{};
    if (::tcgetattr(STDIN_FILENO, &settings) != 0) return false;
    if (on)
        settings.c_lflag |= ECHO;
    else
        settings.c_lflag &= ~tcflag_t(ECHO);
    return ::tcsetattr(STDIN_FILENO, TCSANOW, &settings) == 0;
}

void showUtf8OnConsole() {}

}  // namespace kz::platform
