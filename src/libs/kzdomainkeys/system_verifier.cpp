// Windows' VerifyMessage: the verifier written here, keys from the system's DNS client.

#include <ctime>

#include "key_lookup_system.h"
#include "message_verifier.h"
#include "portable_verifier.h"

namespace kz::dkim {

DkimResult VerifyMessage(const DkimSettings& settings, std::string_view message,
                         std::string_view senderDomain) {
    SystemKeyLookup keys(settings.servers, settings.timeout);
    PortableOptions options;
    options.alwaysSigns = settings.alwaysSigns(senderDomain);
    options.now = uint64_t(std::time(nullptr));
    return VerifyPortable(message, senderDomain, keys, options);
}

}  // namespace kz::dkim
