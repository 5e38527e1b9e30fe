#include "agent_trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace kz::tool {

AgentTraceDiversion::AgentTraceDiversion(bool toStandardError) {
    std::fflush(stdout);
    saved_ = ::dup(STDOUT_FILENO);
    if (saved_ < 0) return;  // nothing diverted: traces stay on standard output
#ifdef _WIN32
    int target = toStandardError ? STDERR_FILENO : ::open("NUL", O_WRONLY | O_NOINHERIT);
#else
    int target = toStandardError ? STDERR_FILENO : ::open("/dev/null", O_WRONLY | O_CLOEXEC);
#endif
    if (target < 0 || ::dup2(target, STDOUT_FILENO) < 0) {
        ::close(saved_);
        saved_ = -1;
    }
    if (!toStandardError && target >= 0) ::close(target);
}

std::FILE* AgentTraceDiversion::console() {
    if (saved_ < 0) return stdout;
    if (console_ == nullptr) {
        int fd = ::dup(saved_);
        if (fd >= 0) console_ = ::fdopen(fd, "w");
        if (console_ == nullptr) {
            if (fd >= 0) ::close(fd);
            return stdout;
        }
    }
    return console_;
}

AgentTraceDiversion::~AgentTraceDiversion() {
    if (console_ != nullptr) std::fclose(console_);
    if (saved_ < 0) return;
    std::fflush(stdout);
    ::dup2(saved_, STDOUT_FILENO);
    ::close(saved_);
}

}  // namespace kz::tool
