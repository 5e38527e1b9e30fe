#include "dkim_result.h"

#include <algorithm>

namespace kz::dkim {

namespace {

DkimResult resultOf(const SignatureCheck& signature) {
    return {signature.code, signature.domain, signature.selector, signature.detail, 0};
}

}  // namespace

bool SignsFor(std::string_view signer, std::string_view sender) {
    if (signer.empty()) return false;
    if (sender == signer) return true;
    return sender.size() > signer.size() && sender.ends_with(signer) &&
           sender[sender.size() - signer.size() - 1] == '.';
}

DkimResult DecideResult(const std::vector<SignatureCheck>& signatures,
                        std::string_view senderDomain, bool alwaysSigns) {
    const auto own = [&](const SignatureCheck& s) { return SignsFor(s.domain, senderDomain); };
    const auto passes = [](const SignatureCheck& s) { return s.code == kPass; };
    auto found = std::find_if(signatures.begin(), signatures.end(),
                              [&](const SignatureCheck& s) { return passes(s) && own(s); });
    if (found == signatures.end() && !alwaysSigns)
        found = std::find_if(signatures.begin(), signatures.end(), passes);
    if (found != signatures.end()) return resultOf(*found);

    found = std::find_if(signatures.begin(), signatures.end(), own);
    if (found != signatures.end()) return resultOf(*found);
    if (alwaysSigns) return {kSignatureRequired, std::string(senderDomain), {}, {}, 0};
    if (signatures.empty()) return {kNoSignature, {}, {}, {}, 0};
    return resultOf(signatures.front());
}

std::string FormatReply(const DkimResult& result) {
    return "<RESULT>" + std::to_string(result.code) + "</RESULT><DOMAIN>" + result.domain +
           "</DOMAIN><SELECTOR>" + result.selector + "</SELECTOR><DETAIL>" + result.detail +
           "</DETAIL>";
}

}  // namespace kz::dkim
