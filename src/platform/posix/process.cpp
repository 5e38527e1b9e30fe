#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

#include "platform/posix/deadline.h"

extern char** environ;

namespace kz::platform {

namespace {

using Clock = SteadyClock;

void fillFinished(ProcessResult& result, int status) {
    result.finished = true;
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
}

enum class WaitOutcome { Reaped, ReapedElsewhere, StillRunning };

// Waits for the child until the deadline. A host that reaps its children itself
// (SIGCHLD ignored) leaves us no status to read.
WaitOutcome waitUntil(pid_t pid, Clock::time_point deadline, int& status) {
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return WaitOutcome::Reaped;
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) return WaitOutcome::ReapedElsewhere;
        Clock::time_point now = Clock::now();
        if (now >= deadline) return WaitOutcome::StillRunning;
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

void reapKilled(pid_t pid, ProcessResult& result) {
    ::kill(pid, SIGKILL);
    int status = 0;
    pid_t done;
    do {
        done = ::waitpid(pid, &status, 0);
    } while (done < 0 && errno == EINTR);
    // It may have ended on its own between the last look and the kill.
    if (done == pid && !(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)) {
        fillFinished(result, status);
    } else {
        result.killed = true;
    }
}

// The child starts with standard input from /dev/null, none of our other descriptors
// and the default signal handling, whatever the host thread has blocked or ignored.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;

    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
#endif
        posix_spawnattr_init(&attr);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setsigdefault(&attr, &all);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnSetup() {
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&actions);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

ProcessResult notStarted(int errorCode, std::string why) {
    ProcessResult result;
    result.errorCode = errorCode;
    result.error = std::move(why);
    return result;
}

}  // namespace

ProcessResult runProcess(std::string_view commandLine, std::chrono::milliseconds bound) {
    return runProcess(splitCommandLine(commandLine), bound);
}

ProcessResult runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds bound) {
    if (argv.empty() || argv[0].empty()) return notStarted(ENOENT, "no program named");
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    Clock::time_point deadline = deadlineAfter(bound);
    pid_t pid = 0;
    int rc;
    {
        SpawnSetup setup;
        rc = ::posix_spawnp(&pid, args[0], &setup.actions, &setup.attr, args.data(), environ);
    }
    if (rc != 0) return notStarted(rc, std::generic_category().message(rc));

    ProcessResult result;
    result.started = true;
    int status = 0;
    switch (waitUntil(pid, deadline, status)) {
        case WaitOutcome::Reaped:
            fillFinished(result, status);
            break;
        case WaitOutcome::ReapedElsewhere:
            result.finished = true;
            break;
        case WaitOutcome::StillRunning:
            reapKilled(pid, result);
            break;
    }
    return result;
}

}  // namespace kz::platform
