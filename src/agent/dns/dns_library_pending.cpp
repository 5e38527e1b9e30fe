#include "dns/dns_library.h"

namespace kz::dns {

// The DNS library binding arrives with the link checks.
void StartDnsLibrary() {}

}  // namespace kz::dns
