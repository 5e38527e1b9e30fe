// An agent that only takes its time: a message whose name starts with "SLOW" holds the
// run for three seconds, and one whose name starts with "UNDONE" could not do what its
// filters asked. For the tests of the hosts' bounds on runs.

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/exports.h"

KZ_EXPORT int KZ_STDCALL FilterInit(int) {
    return 1;
}

KZ_EXPORT int KZ_STDCALL FilterExecute(const char*, const char* message, const char*, int) {
    if (std::strncmp(message, "SLOW", 4) == 0) std::this_thread::sleep_for(std::chrono::seconds(3));
    return 1;
}

KZ_EXPORT int KZ_STDCALL FilterExecuteChecked(const char* host, const char* message,
                                              const char* connector, int reserved) {
    FilterExecute(host, message, connector, reserved);
    return std::strncmp(message, "UNDONE", 6) == 0 ? 0 : 1;
}

KZ_EXPORT int KZ_STDCALL FilterUnInit(int) {
    return 1;
}
