// Named mutexes of the system: recursive for the owning thread, released by the system
// when the owner ends, and an abandoned mutex is taken as acquired.

#include "platform/named_lock.h"

#include <windows.h>

#include "platform/win32/windows_text.h"

namespace kz::platform {

struct NamedLock::Impl {
    HANDLE mutex = nullptr;
};

namespace {

// A backslash would be read as a namespace separator.
std::string mutexName(std::string_view name) {
    std::string out(name.substr(0, MAX_PATH - 1));
    for (char& c : out) {
        if (c == '\\') c = '_';
    }
    return out;
}

}  // namespace

NamedLock::NamedLock(std::string name) : name_(std::move(name)), impl_(std::make_unique<Impl>()) {
    impl_->mutex = CreateMutexW(nullptr, FALSE, win32::widen(mutexName(name_)).c_str());
}

NamedLock::~NamedLock() {
    if (impl_->mutex) CloseHandle(impl_->mutex);
}

bool NamedLock::lock(std::chrono::milliseconds bound) {
    if (!impl_->mutex) return false;
    DWORD wait = bound.count() <= 0 ? 0 : DWORD(std::min<int64_t>(bound.count(), INFINITE - 1));
    DWORD result = WaitForSingleObject(impl_->mutex, wait);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

// Fails, and so does nothing, when the calling thread does not hold it.
void NamedLock::unlock() {
    if (impl_->mutex) ReleaseMutex(impl_->mutex);
}

const std::string& NamedLock::filePath() const {
    return name_;
}

}  // namespace kz::platform
