#pragma once
// Where a verifier gets key records: c-ares on Linux, the system's DNS client on Windows,
// a table in tests.

#include <string>

#include "platform/dns_query.h"

namespace kz::dkim {

struct KeyAnswer {
    enum class Status {
        found,     // one TXT record, its strings joined in `text`
        absent,    // no such name, or no TXT record at it
        several,   // more than one TXT record
        failed,    // no usable answer
        timedOut,  // no answer within the time left
    };
    Status status = Status::failed;
    std::string text;
};

class KeyLookup {
  public:
    virtual ~KeyLookup() = default;
    // The TXT record at `name` ("selector._domainkey.domain").
    virtual KeyAnswer lookup(const std::string& name) = 0;
};

// The key lookup's reading of a DNS answer to a TXT question.
KeyAnswer FromAnswer(platform::DnsAnswer answer);

}  // namespace kz::dkim
