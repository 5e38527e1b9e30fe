#include "signature_plan.h"

#include "header_fields.h"
#include "message_parts.h"
#include "provider_support/text_split.h"

namespace kz::dkim {

namespace {

constexpr std::string_view kSignatureField = "DKIM-Signature";

struct Candidate {
    std::size_t field;  // index in the message's fields
    SignatureFields tags;
    bool own;  // d= is the sender's domain or a parent of it
};

bool needsWork(const SignatureFields& tags) {
    return !tags.fault;
}

}  // namespace

SignaturePlan PlanSignatures(const std::vector<std::string>& fields, std::string_view senderDomain,
                             uint64_t now) {
    SignaturePlan plan;
    std::vector<Candidate> candidates;
    std::vector<bool> emptyField(fields.size(), false);
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (IsEmptySignatureHeader(fields[i])) emptyField[i] = plan.emptySignature = true;
    std::size_t i = 0;
    for (const HeaderField& field : UsableFields(fields)) {
        // The usable fields are some of the fields, in order: find this one's index.
        while (fields[i].data() != field.text.data()) ++i;
        if (emptyField[i] || !SameName(field.name(), kSignatureField)) continue;
        auto tags = ReadSignatureFields(field.value(), now);
        if (!tags) continue;
        const bool own = SignsFor(providers::ToLowerAscii(tags->domain), senderDomain);
        candidates.push_back({i, std::move(*tags), own});
    }
    // The sender's domain's signatures first, then the others, each in field order.
    std::vector<bool> verify(candidates.size(), false);
    for (const bool ownPass : {true, false})
        for (std::size_t c = 0; c < candidates.size(); ++c)
            if (candidates[c].own == ownPass && needsWork(candidates[c].tags) &&
                plan.verified < kMostVerified) {
                verify[c] = true;
                ++plan.verified;
            }
    std::vector<bool> withheld(fields.size(), false);
    for (std::size_t c = 0; c < candidates.size(); ++c) {
        if (verify[c] || !needsWork(candidates[c].tags)) continue;
        withheld[candidates[c].field] = true;
        plan.unchecked.push_back(
            {providers::ToLowerAscii(candidates[c].tags.domain), candidates[c].tags.selector,
             kNotChecked,
             "not checked: more than " + std::to_string(kMostVerified) + " signatures"});
    }
    std::vector<std::size_t> candidateAt(fields.size(), candidates.size());
    for (std::size_t c = 0; c < candidates.size(); ++c) candidateAt[candidates[c].field] = c;
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (!emptyField[i] && !withheld[i]) plan.fields.push_back(fields[i]);
    // The fields are in place now: the signatures can point into them.
    std::size_t given = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (emptyField[i] || withheld[i]) continue;
        if (candidateAt[i] < candidates.size())
            plan.signatures.push_back(
                {plan.fields[given], std::move(candidates[candidateAt[i]].tags)});
        ++given;
    }
    return plan;
}

std::vector<SignatureCheck> WithUnchecked(std::vector<SignatureCheck> checks,
                                          const SignaturePlan& plan) {
    if (plan.unchecked.empty()) return checks;
    for (std::size_t i = 0; i < checks.size() && i < plan.signatures.size(); ++i) {
        const SignatureFields& tags = plan.signatures[i].tags;
        if (!tags.fault && NamesField(tags.signedFields, kSignatureField)) {
            checks[i].code = kNotChecked;
            checks[i].detail = "not checked: signs DKIM-Signature fields left unchecked";
        }
    }
    checks.insert(checks.end(), plan.unchecked.begin(), plan.unchecked.end());
    return checks;
}

}  // namespace kz::dkim
