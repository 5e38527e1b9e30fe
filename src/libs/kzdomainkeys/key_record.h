#pragma once
// A DKIM key record (RFC 6376 3.6.1) as published in DNS TXT, checked for one signature in
// the order and with the outcome of the Linux verifier.

#include <string>
#include <string_view>
#include <variant>

#include "dkim_result.h"
#include "signature_fields.h"

namespace kz::dkim {

// The Linux verifier reads at most this many characters of a record.
constexpr std::size_t kLongestKeyRecord = 1024;

struct KeyRecord {
    std::string publicKey;        // p=, decoded
    bool sameDomainOnly = false;  // t=s: i= must name d= itself, no subdomain
};

struct KeyFault {
    ResultCode code;
    std::string detail;
};

// The key, or why this record cannot check the signature.
std::variant<KeyRecord, KeyFault> ReadKeyRecord(std::string_view text,
                                                SignatureAlgorithm algorithm);

}  // namespace kz::dkim
