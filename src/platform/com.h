#pragma once
// Per-thread COM initialisation for runs that need the script host. Linux has no COM;
// the calls stay where the Windows build needs them.

namespace kz::platform {

// True when this call initialised COM for the calling thread.
bool initializeComForThread();
void uninitializeComForThread();

}  // namespace kz::platform
