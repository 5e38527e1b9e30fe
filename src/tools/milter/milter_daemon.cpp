#include "milter_daemon.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <systemd/sd-daemon.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <thread>

namespace kz::tool {

namespace {

// The handler's only way out: a byte down the pipe the main thread waits on.
std::atomic<int> gWakeFd{-1};

void OnHangUp(int) {
    int saved = errno;
    char byte = 'H';
    if (int fd = gWakeFd.load(); fd >= 0) (void)!write(fd, &byte, 1);
    errno = saved;
}

sigset_t DaemonSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&set, signal);
    return set;
}

uint64_t MonotonicMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000u + uint64_t(now.tv_nsec) / 1000u;
}

// How long the main thread may sleep: half the watchdog's interval, at most a second.
int WaitMilliseconds(uint64_t watchdogMicroseconds) {
    if (watchdogMicroseconds == 0) return 1000;
    uint64_t half = watchdogMicroseconds / 2000;
    return int(half < 1 ? 1 : half > 1000 ? 1000 : half);
}

}  // namespace

MilterDaemon::MilterDaemon(std::FILE* console) : console_(console) {
    sigset_t signals = DaemonSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) pipe_[0] = pipe_[1] = -1;
    gWakeFd = pipe_[1];
    struct sigaction action {};
    action.sa_handler = OnHangUp;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGHUP, &action, nullptr);
}

MilterDaemon::~MilterDaemon() {
    signal(SIGHUP, SIG_IGN);
    gWakeFd = -1;
    for (int fd : pipe_) {
        if (fd >= 0) close(fd);
    }
}

void MilterDaemon::wake(char why) {
    if (pipe_[1] >= 0) (void)!write(pipe_[1], &why, 1);
}

int MilterDaemon::run(const std::function<int()>& serve,
                      const std::function<bool(std::string&)>& reload) {
    // Started while every signal of the set is blocked: the protocol's threads inherit it.
    int status = 1;
    std::thread protocol([&] {
        status = serve();
        wake('S');
    });
    // Only now may this thread take SIGHUP; one sent before is taken here too.
    sigset_t hangUp;
    sigemptyset(&hangUp);
    sigaddset(&hangUp, SIGHUP);
    pthread_sigmask(SIG_UNBLOCK, &hangUp, nullptr);
    sd_notify(0, "READY=1\nSTATUS=Filtering mail");

    uint64_t watchdog = 0;
    if (sd_watchdog_enabled(0, &watchdog) <= 0) watchdog = 0;
    bool serving = true;
    while (serving) {
        if (watchdog) sd_notify(0, "WATCHDOG=1");
        pollfd wait{pipe_[0], POLLIN, 0};
        if (poll(&wait, 1, WaitMilliseconds(watchdog)) <= 0) continue;
        char reasons[64];
        ssize_t got;
        bool reloadAsked = false;
        while ((got = read(pipe_[0], reasons, sizeof reasons)) > 0) {
            for (ssize_t i = 0; i < got; ++i) {
                if (reasons[i] == 'H') reloadAsked = true;
                if (reasons[i] == 'S') serving = false;
            }
        }
        if (!reloadAsked || !serving) continue;
        char text[96];
        std::snprintf(text, sizeof text, "RELOADING=1\nMONOTONIC_USEC=%llu",
                      static_cast<unsigned long long>(MonotonicMicroseconds()));
        sd_notify(0, text);
        std::string why;
        if (reload(why)) {
            std::fprintf(console_, "kzmta milter: SIGHUP: the agent reloads its filters\n");
        } else {
            std::fprintf(console_, "kzmta milter: SIGHUP: cannot ask for a reload: %s\n",
                         why.c_str());
        }
        std::fflush(console_);
        sd_notify(0, "READY=1\nSTATUS=Filtering mail");
    }
    sd_notify(0, "STOPPING=1");
    protocol.join();
    // What is left of the shutdown runs with SIGHUP ignored: it must not end the process.
    pthread_sigmask(SIG_BLOCK, &hangUp, nullptr);
    return status;
}

}  // namespace kz::tool
