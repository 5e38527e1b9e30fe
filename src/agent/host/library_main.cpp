// The shared library's load and unload: process attach and detach.

#include "host/entry_guard.h"
#include "host/process_attach.h"

namespace {

// Detach must run while the agent's other process-wide objects still exist. A
// function-local static created at the end of attach is destroyed at unload before
// every object constructed earlier, so detach runs first.
struct DetachAtUnload {
    ~DetachAtUnload() {
        kz::host::RunGuarded("OnProcessDetach", 1, [] {
            kz::host::OnProcessDetach();
            return 1;
        });
    }
};

// Linked last, so the agent's other static objects are initialised before attach runs.
__attribute__((constructor)) void LibraryLoaded() {
    kz::host::RunGuarded("OnProcessAttach", 1, [] {
        kz::host::OnProcessAttach();
        return 1;
    });
    static DetachAtUnload detach;
}

}  // namespace
