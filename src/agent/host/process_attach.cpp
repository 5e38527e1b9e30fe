#include "host/process_attach.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <type_traits>

#include "host/agent.h"

namespace kz::host {

namespace {

// Both have nothing to destroy, so they are usable at process exit whatever the order
// in which the libraries' objects are destroyed.
std::mutex gAttachMutex;
std::atomic<Agent*> gAgent{nullptr};
bool gAttachTried = false;  // under gAttachMutex: a failed or finished attach is not repeated
bool gDetached = false;     // under gAttachMutex
std::atomic<bool> gAttachAllowed{false};
static_assert(std::is_trivially_destructible_v<std::atomic<Agent*>>);

}  // namespace

Agent* CurrentAgent() {
    return gAgent.load(std::memory_order_acquire);
}

void AllowAttach() {
    gAttachAllowed.store(true);
}

Agent* AttachedAgent() {
    if (Agent* agent = CurrentAgent()) return agent;
    if (!gAttachAllowed.load()) return nullptr;
    std::lock_guard lock(gAttachMutex);
    if (gAttachTried || gDetached) return CurrentAgent();
    gAttachTried = true;
    auto agent = std::make_unique<Agent>();
    Agent* const attached = agent.get();
    // Published even when attach throws half-way, as a library start-up would leave it.
    struct Publish {
        std::unique_ptr<Agent>& agent;
        ~Publish() { gAgent.store(agent.release(), std::memory_order_release); }
    } publish{agent};
    attached->attach();
    return attached;
}

void OnProcessDetach(DetachReason reason) {
    std::lock_guard lock(gAttachMutex);
    gDetached = true;
    Agent* agent = CurrentAgent();
    if (!agent) return;
    if (reason == DetachReason::ProcessExit) {
        // Kept (and reachable) to the end: its destructor would release the providers.
        agent->detachAtExit();
        return;
    }
    gAgent.store(nullptr, std::memory_order_release);
    agent->detach();
    delete agent;
}

}  // namespace kz::host
