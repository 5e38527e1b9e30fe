#include "platform/console.h"

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

}  // namespace kz::platform
