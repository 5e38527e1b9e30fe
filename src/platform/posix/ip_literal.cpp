// Address literals through the C library's inet_pton.
#include <arpa/inet.h>

#include <cstring>

#include "platform/ip_address.h"

namespace kz::platform {

std::optional<IpAddress> parseIpAddress(std::string_view text) {
    const std::string copy(text);
    IpAddress address;
    for (int family : {AF_INET, AF_INET6}) {
        if (::inet_pton(family, copy.c_str(), address.bytes) == 1) {
            address.family = family;
            return address;
        }
    }
    return std::nullopt;
}

}  // namespace kz::platform
