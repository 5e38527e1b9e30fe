#pragma once
// spamd's answer to a SYMBOLS request:
//
//   SPAMD/1.1 0 EX_OK\r\n
//   Content-length: 27\r\n
//   Spam: True ; 1005.2 / 5.0\r\n
//   \r\n
//   GTUBE,MISSING_DATE,NO_RECEIVED
//
// Any other status, or an answer without its "Spam" header, is no verdict.

#include <optional>
#include <string>
#include <string_view>

namespace kz::providers {

struct SpamdVerdict {
    bool spam = false;
    std::string score;      // as spamd wrote it, e.g. "1005.2"
    std::string threshold;  // e.g. "5.0"
    std::string rules;      // the rule names, comma-separated
};

// The verdict, or nothing with the reason in `why`.
std::optional<SpamdVerdict> ParseSpamdReply(std::string_view reply, std::string& why);

// "<PASS>0</PASS>" for spam, else "<PASS>1</PASS>", then "<SCORE>", "<THRESHOLD>" and as
// many rule names in "<RULES>" as a buffer of `capacity` bytes leaves room for.
std::string FormatSpamdVerdict(const SpamdVerdict& verdict, std::size_t capacity);

}  // namespace kz::providers
