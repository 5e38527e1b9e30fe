#pragma once
// Winsock must be started once per process before its first use.

namespace kz::platform::win32 {

// Starts Winsock 2.2 on the first call; true when it is available.
bool startWinsock();

}  // namespace kz::platform::win32
