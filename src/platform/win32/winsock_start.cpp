#include "platform/win32/winsock_start.h"

#include <winsock2.h>

namespace kz::platform::win32 {

// Never stopped: other threads may still be inside a lookup when the library unloads.
bool startWinsock() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

}  // namespace kz::platform::win32
