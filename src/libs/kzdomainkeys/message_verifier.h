#pragma once
// Verifies every DKIM signature of a message with OpenDKIM, keys looked up through
// KeyResolver, and decides the message's result. rsa-sha1 signatures are refused and
// RSA keys below 1024 bits are not used (RFC 8301); ed25519-sha256 is verified where the
// library supports it (RFC 8463).

#include <string_view>

#include "dkim_result.h"
#include "dkim_settings.h"

namespace kz::dkim {

DkimResult VerifyMessage(const DkimSettings& settings, std::string_view message,
                         std::string_view senderDomain);

}  // namespace kz::dkim
