#pragma once
// The Agent of the process the library is loaded into.

namespace kz::host {

class Agent;

// The attached process's Agent, or null before attach and after detach.
Agent* CurrentAgent();

void OnProcessAttach();
void OnProcessDetach();

}  // namespace kz::host
