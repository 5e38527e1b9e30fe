#pragma once
// Facts about the running process that reports name.

#include <cstdint>
#include <string>

namespace kz::platform {

// The full path of the host process's executable; empty when it cannot be found.
std::string executablePath();
// The identity of this process.
uint64_t currentProcessId();
// The calling thread's last system error number (0 when none was recorded).
int lastErrorCode();

}  // namespace kz::platform
