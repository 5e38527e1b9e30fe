#pragma once
// The c-ares channels of the platform layer, for the libraries that drive c-ares
// themselves (Linux only).

#include "platform/posix/dns_channels.h"
#include "provider_support/server_list.h"

namespace kz::providers {

using platform::posix::DnsChannels;
using platform::posix::RunChannel;

}  // namespace kz::providers
