// The shared library's load and unload: process attach and detach.

#include "host/entry_guard.h"
#include "host/process_attach.h"

namespace {

void Attach() {
    kz::host::RunGuarded("OnProcessAttach", 1, [] {
        kz::host::OnProcessAttach();
        return 1;
    });
}

void Detach() {
    kz::host::RunGuarded("OnProcessDetach", 1, [] {
        kz::host::OnProcessDetach();
        return 1;
    });
}

}  // namespace

#ifdef _WIN32
#include <windows.h>

// The runtime's library start-up constructs the static objects before this runs and
// destroys them after detach returns.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) Attach();
    if (reason == DLL_PROCESS_DETACH) Detach();
    return TRUE;
}
#else
namespace {

// Detach must run while the agent's other process-wide objects still exist. A
// function-local static created at the end of attach is destroyed at unload before
// every object constructed earlier, so detach runs first.
struct DetachAtUnload {
    ~DetachAtUnload() { Detach(); }
};

// Linked last, so the agent's other static objects are initialised before attach runs.
__attribute__((constructor)) void LibraryLoaded() {
    Attach();
    static DetachAtUnload detach;
}

}  // namespace
#endif
