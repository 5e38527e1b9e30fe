// The shared library's load and unload: process attach and detach.

#include "host/entry_guard.h"
#include "host/process_attach.h"

namespace {

void Detach(kz::host::DetachReason reason) {
    kz::host::RunGuarded("OnProcessDetach", 1, [reason] {
        kz::host::OnProcessDetach(reason);
        return 1;
    });
}

}  // namespace

#ifdef _WIN32
#include <windows.h>

// Runs under the loader lock, which every thread start and library load of the process
// waits for: attach (registry, log lock, folder sweeps, provider loads) waits for the
// first entry called instead. At process termination (a non-null `reserved`) the other
// threads are gone, maybe holding locks, and other libraries may be detached already:
// nothing is called and nothing let go, the system releases it all.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        kz::host::AllowAttach();
    }
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) Detach(kz::host::DetachReason::Unload);
    return TRUE;
}
#else
#include <semaphore.h>

#if defined(__SANITIZE_ADDRESS__)
#define KZ_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KZ_LEAK_CHECKED 1
#endif
#endif
#if KZ_LEAK_CHECKED
#include <sanitizer/lsan_interface.h>
#endif

extern "C" int __cxa_atexit(void (*)(void*), void*, void*);

namespace {

void Attach() {
    kz::host::RunGuarded("OnProcessAttach", 1, [] {
        kz::host::AttachedAgent();
        return 1;
    });
}

// Exit runs every registered exit handler, newest first, then the libraries' own
// destructors; an unload runs only this library's handlers. A semaphore posted by a
// handler of the C library itself, registered after the detach below, is therefore
// posted before that detach runs at exit and is never posted at an unload. It lives on
// the heap, since it must outlast this library's unload.
sem_t* gExitSignal = nullptr;

bool ProcessExiting() {
    int value = 0;
    return gExitSignal && sem_getvalue(gExitSignal, &value) == 0 && value > 0;
}

void WatchForExit() {
    gExitSignal = new sem_t;
#if KZ_LEAK_CHECKED
    __lsan_ignore_object(gExitSignal);  // kept past an unload on purpose
#endif
    sem_init(gExitSignal, 0, 0);
    auto post = reinterpret_cast<void (*)(void*)>(reinterpret_cast<void (*)()>(&sem_post));
    __cxa_atexit(post, gExitSignal, nullptr);
}

// Detach must run while the agent's other process-wide objects still exist. A
// function-local static created at the end of attach is destroyed at unload before
// every object constructed earlier, so detach runs first.
struct DetachAtUnload {
    ~DetachAtUnload() {
        Detach(ProcessExiting() ? kz::host::DetachReason::ProcessExit
                                : kz::host::DetachReason::Unload);
    }
};

// Linked last, so the agent's other static objects are initialised before attach runs.
__attribute__((constructor)) void LibraryLoaded() {
    kz::host::AllowAttach();
    Attach();
    static DetachAtUnload detach;
    WatchForExit();
}

}  // namespace
#endif
