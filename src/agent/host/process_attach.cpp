#include "host/process_attach.h"

#include <memory>

#include "host/agent.h"

namespace kz::host {

namespace {

std::unique_ptr<Agent> gAgent;

}  // namespace

Agent* CurrentAgent() {
    return gAgent.get();
}

void OnProcessAttach() {
    if (gAgent) return;
    gAgent = std::make_unique<Agent>();
    gAgent->attach();
}

void OnProcessDetach() {
    if (!gAgent) return;
    gAgent->detach();
    gAgent.reset();
}

}  // namespace kz::host
