#pragma once
// The DKIM verifier written here, for systems without libopendkim (Windows): tag lists,
// canonical forms, header selection, body hashes with l=, key records; the signature
// checks come from platform/public_key.h and the keys from a KeyLookup. It gives the
// codes of message_verifier.h for the same message and keys. Where the system cannot
// check an algorithm (Ed25519 under CNG) the signature is reported as not checked.

#include <cstdint>
#include <string_view>

#include "dkim_result.h"
#include "key_lookup.h"

namespace kz::dkim {

struct PortableOptions {
    bool alwaysSigns = false;  // the sender's domain always signs ("Required Domains")
    uint64_t now = 0;          // seconds since 1970, for t= and x=
};

DkimResult VerifyPortable(std::string_view message, std::string_view senderDomain, KeyLookup& keys,
                          const PortableOptions& options);

}  // namespace kz::dkim
