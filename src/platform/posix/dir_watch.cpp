#include "platform/dir_watch.h"

#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <string>

namespace kz::platform {

namespace {

std::atomic<bool> gStop{false};

void onStopSignal(int) {
    gStop.store(true);
}

}  // namespace

DirectoryWatch::DirectoryWatch() : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

DirectoryWatch::~DirectoryWatch() {
    if (fd_ >= 0) ::close(fd_);
}

bool DirectoryWatch::add(std::string_view dir) {
    if (fd_ < 0) return false;
    return inotify_add_watch(fd_, std::string(dir).c_str(),
                             IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE) >= 0;
}

bool DirectoryWatch::wait(std::chrono::milliseconds bound) {
    if (fd_ < 0) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, int(bound.count())) <= 0) return false;
    alignas(inotify_event) char buffer[4096];
    bool any = false;
    while (::read(fd_, buffer, sizeof buffer) > 0) any = true;
    return any;
}

void installStopSignals() {
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool stopRequested() {
    return gStop.load();
}

}  // namespace kz::platform
