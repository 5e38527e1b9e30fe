#pragma once
// clamd's answer to one scan: "stream: OK", "stream: <signature> FOUND", or a text that
// ends in "ERROR" (its "StreamMaxLength" limit, a fault), each ended by a NUL.

#include <string>
#include <string_view>

namespace kz::providers {

struct ClamdOutcome {
    enum Kind { Clean, Found, Failed } kind = Failed;
    std::string text;  // the signature when Found, the reason when Failed
};

ClamdOutcome ReadClamdAnswer(std::string_view answer);

}  // namespace kz::providers
