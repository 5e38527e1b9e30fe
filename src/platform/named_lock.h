#pragma once
// A lock shared by every process on the machine, identified by name, taken with a
// time bound. A holder that dies releases it.
//
// Each object holds its own descriptor on "${KZ_RUNTIME_DIR:-/tmp}/NAME.lock" (the name
// reduced to letters, digits, '.', '_' and '-'; an installed build's default folder is
// /run/kzmta), so two objects of the same name exclude each other like two processes do;
// threads sharing one object are excluded by its in-process mutex.

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

    // True when taken within the bound (a bound of zero or less tries once). Threads
    // of one process exclude each other too. False also when the lock file cannot be
    // opened. Like a Windows mutex it is recursive: the holding thread takes it again at
    // once and must release it as often as it took it.
    bool lock(std::chrono::milliseconds bound);
    // Releases one hold when the calling thread holds the lock; otherwise does nothing.
    void unlock();
    const std::string& name() const { return name_; }
    const std::string& filePath() const;

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
