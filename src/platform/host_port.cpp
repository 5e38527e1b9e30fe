#include "platform/host_port.h"

namespace kz::platform {

bool splitHostAndPort(std::string_view address, uint16_t defaultPort, std::string& host,
                      std::string& port) {
    host = std::string(address);
    port = std::to_string(defaultPort);
    if (!host.empty() && host.front() == '[') {
        std::size_t close = host.find(']');
        if (close == std::string::npos) return false;
        if (host.size() > close + 1 && host[close + 1] == ':') port = host.substr(close + 2);
        host = host.substr(1, close - 1);
    } else if (std::size_t colon = host.rfind(':'); colon != std::string::npos) {
        port = host.substr(colon + 1);
        host.resize(colon);
    }
    return true;
}

}  // namespace kz::platform
