#pragma once
// The one object of a kind that code far from its owner reads: the owner installs it for
// as long as it lives and readers on any thread find it through current(). Installing
// and removing happen only while nothing reads it (attach, detach, a test's set-up), and
// removing brings back the object installed before, so installations nest.

#include <atomic>

namespace kz {

template <typename T>
class Installed {
  public:
    explicit Installed(T& object) : previous_(slot_.exchange(&object, std::memory_order_acq_rel)) {}
    ~Installed() { slot_.store(previous_, std::memory_order_release); }
    Installed(const Installed&) = delete;
    Installed& operator=(const Installed&) = delete;

    // The installed object, or null when there is none.
    static T* current() { return slot_.load(std::memory_order_acquire); }

  private:
    // Constant-initialised, so a library constructor may install before any other
    // static object of the library is set up.
    static constinit inline std::atomic<T*> slot_{nullptr};
    T* previous_;
};

}  // namespace kz
