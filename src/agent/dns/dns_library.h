#pragma once
// The DNS library that answers URI blacklist queries. Started at attach, kept until
// the process ends.

namespace kz::dns {

void StartDnsLibrary();

}  // namespace kz::dns
