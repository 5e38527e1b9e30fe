// Address literals through Winsock's inet_pton.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/ip_address.h"
#include "platform/win32/winsock_start.h"

namespace kz::platform {

std::optional<IpAddress> parseIpAddress(std::string_view text) {
    if (!win32::startWinsock()) return std::nullopt;
    const std::string copy(text);
    IpAddress address;
    for (int family : {AF_INET, AF_INET6}) {
        if (inet_pton(family, copy.c_str(), address.bytes) == 1) {
            address.family = family;
            return address;
        }
    }
    return std::nullopt;
}

}  // namespace kz::platform
