#include "key_lookup_ares.h"

#include <arpa/nameser.h>

#include <vector>

#include "opendkim_api.h"
#include "platform/txt_message.h"

namespace kz::dkim {

KeyAnswer AresKeyLookup::lookup(const std::string& name) {
    // Room for the largest UDP answer a server gives without TCP.
    std::vector<unsigned char> buffer(8192);
    std::size_t length = 0;
    const int status = resolver_.lookup(name, ns_t_txt, buffer.data(), buffer.size(), length);
    if (status == DKIM_DNS_EXPIRED) return {KeyAnswer::Status::timedOut, {}};
    if (status != DKIM_DNS_SUCCESS) return {KeyAnswer::Status::failed, {}};
    return FromAnswer(platform::txtAnswer(
        std::string_view(reinterpret_cast<const char*>(buffer.data()), length), 0, true));
}

}  // namespace kz::dkim
