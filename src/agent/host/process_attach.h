#pragma once
// The Agent of the process the library is loaded into: attached once, by the first
// entry called (or at load where the system allows it), detached at unload.

namespace kz::host {

class Agent;

// The attached process's Agent, or null before attach and after detach.
Agent* CurrentAgent();

// Attaches the process on the first call and returns its Agent; later calls, from any
// thread, wait for that attach and return the same Agent. Null once detached, and
// before AllowAttach.
Agent* AttachedAgent();

// Called by the library's load: a program that links the agent's code itself (the
// tests) gets no attach behind its back.
void AllowAttach();

enum class DetachReason {
    Unload,       // the host lets the library go: everything is released
    ProcessExit,  // the process ends: other libraries may be gone already
};

// At an unload the providers' clean-up entries run and every library is let go. At
// process exit none of that happens (a provider's own objects may have been destroyed
// before this runs); only the report log gets its End line.
void OnProcessDetach(DetachReason reason);

}  // namespace kz::host
