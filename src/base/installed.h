#pragma once
// The one object of a kind that code far from its owner reads: the owner installs it for
// as long as it lives and readers on any thread find it through current(). Installing
// and removing happen only while nothing reads it (attach, detach, a test's set-up), and
// removing brings back the object installed before, so installations nest.

#include <atomic>
#include <utility>

namespace kz {

// Hidden, so that each module (the agent library, a tool, a test program) keeps its own
// slot even when another module that holds the same code is loaded into the process.
#if defined(__GNUC__) && !defined(_WIN32)
#define KZ_MODULE_LOCAL __attribute__((visibility("hidden")))
#else
#define KZ_MODULE_LOCAL
#endif

template <typename T>
class KZ_MODULE_LOCAL Installed {
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

// An object together with its installation: what an owner holds for each part it keeps.
template <typename T>
class KZ_MODULE_LOCAL InstalledObject {
  public:
    template <typename... Args>
    explicit InstalledObject(Args&&... args) : object_(std::forward<Args>(args)...) {}

    T& get() { return object_; }
    const T& get() const { return object_; }

  private:
    T object_;
    Installed<T> installed_{object_};
};

}  // namespace kz
