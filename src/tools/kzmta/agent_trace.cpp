#include "agent_trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace kz::tool {

AgentTraceDiversion::AgentTraceDiversion(bool toStandardError) {
    std::fflush(stdout);
    saved_ = ::dup(STDOUT_FILENO);
    if (saved_ < 0) return;  // nothing diverted: traces stay on standard output
    int target = toStandardError ? STDERR_FILENO : ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (target < 0 || ::dup2(target, STDOUT_FILENO) < 0) {
        ::close(saved_);
        saved_ = -1;
    }
    if (!toStandardError && target >= 0) ::close(target);
}

AgentTraceDiversion::~AgentTraceDiversion() {
    if (saved_ < 0) return;
    std::fflush(stdout);
    ::dup2(saved_, STDOUT_FILENO);
    ::close(saved_);
}

}  // namespace kz::tool
