#pragma once
// Which signatures of a message are verified. Each verified signature costs a key lookup
// and a pass over the body, so a message with hundreds of them (each with its own l=)
// would hold a queue thread for seconds: at most kMostVerified are verified, the sender's
// domain's first, and the rest are reported as not checked.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dkim_result.h"
#include "signature_fields.h"

namespace kz::dkim {

// Three covers real mail: the author's domain, the sending service, and one signature
// added on the way (a mailing list or a forwarder).
constexpr std::size_t kMostVerified = 3;

struct PlannedSignature {
    std::string_view fieldText;  // the DKIM-Signature field, in SignaturePlan::fields
    SignatureFields tags;
};

struct SignaturePlan {
    // The header fields the verifier is given: the message's, without empty
    // DKIM-Signature fields and without the signatures left unchecked.
    std::vector<std::string> fields;
    // Every readable signature that is given, in the order of the fields.
    std::vector<PlannedSignature> signatures;
    // The signatures left unchecked, in the order of the fields.
    std::vector<SignatureCheck> unchecked;
    bool emptySignature = false;  // a DKIM-Signature field without a value was left out
    std::size_t verified = 0;     // signatures that need a key and a body hash
};

SignaturePlan PlanSignatures(const std::vector<std::string>& fields, std::string_view senderDomain,
                             uint64_t now);

// The checks of the verified signatures with the unchecked ones after them. A signature
// whose hash covers DKIM-Signature fields while some were left out cannot be verified
// either: it becomes not checked too.
std::vector<SignatureCheck> WithUnchecked(std::vector<SignatureCheck> checks,
                                          const SignaturePlan& plan);

}  // namespace kz::dkim
