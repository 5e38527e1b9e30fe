#include "platform/named_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "base/default_paths.h"
#include "platform/posix/deadline.h"

namespace kz::platform {

namespace {

using Clock = SteadyClock;

std::string runtimeDirectory() {
    const char* dir = std::getenv("KZ_RUNTIME_DIR");
    return (dir && *dir) ? std::string(dir) : std::string(kDefaultRuntimeDirectory);
}

// Keeps the lock file inside the runtime directory whatever the name holds.
std::string safeFileName(std::string_view name) {
    constexpr size_t kMaxName = 200;
    std::string out;
    for (char c : name.substr(0, kMaxName)) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '.' || c == '_' || c == '-';
        out += plain ? c : '_';
    }
    if (out.empty() || out[0] == '.') out.insert(out.begin(), '_');
    return out;
}

}  // namespace

struct NamedLock::Impl {
    std::string path;
    std::timed_mutex threads;  // flock does not exclude threads sharing one descriptor
    std::atomic<std::thread::id> owner{};
    unsigned depth = 0;    // holds of the owner; touched only by the owner
    int fd = -1;           // touched only under `threads`
    dev_t heldDevice = 0;  // the file `fd` is open on
    ino_t heldInode = 0;

    bool openFile() {
        if (fd >= 0) return true;
        // Read-only is enough for flock and works on a file another user created.
        fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0) return false;
        struct stat held {};
        if (::fstat(fd, &held) != 0) {
            closeFile();
            return false;
        }
        heldDevice = held.st_dev;
        heldInode = held.st_ino;
        return true;
    }

    void closeFile() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }

    // True when our descriptor still names the file at `path`: a lock on a file that
    // was removed and created anew would exclude nobody.
    bool fileStillCurrent() const {
        struct stat named {};
        if (::stat(path.c_str(), &named) != 0) return false;
        return named.st_dev == heldDevice && named.st_ino == heldInode;
    }

    bool takeFile(Clock::time_point deadline) {
        auto pause = std::chrono::milliseconds(1);
        for (;;) {
            if (!openFile()) return false;
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                if (fileStillCurrent()) return true;
                closeFile();  // closing drops the stale lock; try the current file
                continue;
            }
            if (errno == EINTR) continue;
            if (errno != EWOULDBLOCK) return false;
            Clock::time_point now = Clock::now();
            if (now >= deadline) return false;
            std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
            pause = std::min(pause * 2, std::chrono::milliseconds(20));
        }
    }
};

NamedLock::NamedLock(std::string name) : name_(std::move(name)), impl_(std::make_unique<Impl>()) {
    impl_->path = runtimeDirectory() + "/" + safeFileName(name_) + ".lock";
}

NamedLock::~NamedLock() {
    if (impl_->owner.load() != std::thread::id{}) {
        ::flock(impl_->fd, LOCK_UN);
        impl_->threads.unlock();
    }
    impl_->closeFile();
}

const std::string& NamedLock::filePath() const {
    return impl_->path;
}

bool NamedLock::lock(std::chrono::milliseconds bound) {
    Impl& d = *impl_;
    std::thread::id self = std::this_thread::get_id();
    if (d.owner.load() == self) {
        ++d.depth;
        return true;
    }
    Clock::time_point deadline = deadlineAfter(bound);
    bool inProcess = deadline == Clock::time_point::max() ? (d.threads.lock(), true)
                                                          : d.threads.try_lock_until(deadline);
    if (!inProcess) return false;
    if (!d.takeFile(deadline)) {
        d.threads.unlock();
        return false;
    }
    d.depth = 1;
    d.owner.store(self);
    return true;
}

void NamedLock::unlock() {
    Impl& d = *impl_;
    if (d.owner.load() != std::this_thread::get_id()) return;
    if (--d.depth > 0) return;
    d.owner.store(std::thread::id{});
    ::flock(d.fd, LOCK_UN);
    d.threads.unlock();
}

}  // namespace kz::platform
