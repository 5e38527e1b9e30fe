#pragma once
// A lock shared by every process on the machine, identified by name, taken with a
// time bound. A holder that dies releases it.

#include <chrono>
#include <memory>
#include <string>

namespace kz::platform {

class NamedLock {
public:
    // The lock file lives in ${KZ_RUNTIME_DIR:-/tmp}.
    explicit NamedLock(std::string name);
    ~NamedLock();
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

    // True when taken within the bound. Threads of one process exclude each other too.
    bool lock(std::chrono::milliseconds bound);
    void unlock();
    const std::string& name() const { return name_; }

private:
    struct Impl;
    std::string name_;
    std::unique_ptr<Impl> impl_;
};

// Scoped holder; held() tells whether the lock was taken within the bound.
class NamedLockGuard {
public:
    NamedLockGuard(NamedLock& lock, std::chrono::milliseconds bound)
        : lock_(lock), held_(lock.lock(bound)) {}
    ~NamedLockGuard() {
        if (held_) lock_.unlock();
    }
    NamedLockGuard(const NamedLockGuard&) = delete;
    NamedLockGuard& operator=(const NamedLockGuard&) = delete;
    bool held() const { return held_; }

private:
    NamedLock& lock_;
    bool held_;
};

}  // namespace kz::platform
