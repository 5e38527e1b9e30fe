#pragma once
// The result codes of a verification and which signature decides it.
//
//   1 pass; 2 no signature; 3 not checked (no message, unknown command; for a signature:
//  one beyond those verified, or of an algorithm the system cannot check);
//  -9 a domain that always signs without a valid signature of its own; -8 empty
//  signature header; -6 header hash invalid; -5 body hash invalid (also a body partly
//  left unsigned by l=); -4 no usable key; -3 bad identity; -2 DNS failed without an
//  answer; -1 DNS timed out; 0 other failures (expired, refused algorithm, syntax).

#include <string>
#include <string_view>
#include <vector>

namespace kz::dkim {

enum ResultCode : int {
    kPass = 1,
    kNoSignature = 2,
    kNotChecked = 3,
    kSignatureRequired = -9,
    kEmptySignature = -8,
    kHeaderHashInvalid = -6,
    kBodyHashInvalid = -5,
    kNoKey = -4,
    kBadIdentity = -3,
    kNoDnsEntry = -2,
    kDnsTimedOut = -1,
    kOtherFailure = 0,
};

// What one signature of the message came to.
struct SignatureCheck {
    std::string domain;  // d=, lower case
    std::string selector;
    ResultCode code = kOtherFailure;
    std::string detail;  // the verifier's reason for a failure
};

struct DkimResult {
    ResultCode code = kNotChecked;
    std::string domain;
    std::string selector;
    std::string detail;
    std::size_t verified = 0;  // signatures whose key was looked up and hash computed
};

// Whether the sender's domain is the signing domain or lies below it (both lower case).
bool SignsFor(std::string_view signer, std::string_view sender);

// A passing signature passes the message (for a domain that always signs, only one of
// that domain or a parent of it). Otherwise the first failed signature of the sender's
// domain decides, else the first of any domain.
DkimResult DecideResult(const std::vector<SignatureCheck>& signatures,
                        std::string_view senderDomain, bool alwaysSigns);

// "<RESULT>code</RESULT><DOMAIN>d</DOMAIN><SELECTOR>s</SELECTOR><DETAIL>why</DETAIL>".
std::string FormatReply(const DkimResult& result);

}  // namespace kz::dkim
