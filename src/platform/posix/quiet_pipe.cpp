#include "platform/quiet_pipe.h"

#include <pthread.h>
#include <signal.h>

#include <ctime>

namespace kz::platform {

namespace {

static_assert(sizeof(sigset_t) <= 128 /* QuietPipe::kMaskSize */ && alignof(sigset_t) <= 8);

sigset_t pipeOnly() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    return set;
}

bool pipePending() {
    sigset_t pending;
    sigemptyset(&pending);
    return sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
}

}  // namespace

QuietPipe::QuietPipe() {
    const sigset_t set = pipeOnly();
    pthread_sigmask(SIG_BLOCK, &set, reinterpret_cast<sigset_t*>(previous_));
    pendingBefore_ = pipePending();
}

QuietPipe::~QuietPipe() {
    // A SIGPIPE raised here is pending on this thread while blocked: take it back before
    // the mask is restored, unless one was pending before (it is not ours).
    if (!pendingBefore_ && pipePending()) {
        const sigset_t set = pipeOnly();
        const timespec none{};
        sigtimedwait(&set, nullptr, &none);
    }
    pthread_sigmask(SIG_SETMASK, reinterpret_cast<const sigset_t*>(previous_), nullptr);
}

}  // namespace kz::platform
