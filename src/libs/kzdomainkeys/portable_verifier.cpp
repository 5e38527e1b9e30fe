#include "portable_verifier.h"

#include <map>
#include <optional>
#include <variant>

#include "canonical_form.h"
#include "header_fields.h"
#include "key_record.h"
#include "message_parts.h"
#include "platform/crypto.h"
#include "platform/public_key.h"
#include "provider_support/text_split.h"
#include "signature_plan.h"

namespace kz::dkim {

namespace {

// RSA keys below this many bits are not used (RFC 8301).
constexpr unsigned kMinimumRsaBits = 1024;

// SHA-256 of the text; zeros, which match nothing, when the system cannot hash.
platform::Sha256Digest digestOf(std::string_view text) {
    return platform::sha256(text).value_or(platform::Sha256Digest{});
}

std::string_view asText(const platform::Sha256Digest& digest) {
    return {reinterpret_cast<const char*>(digest.data()), digest.size()};
}

// What a verification needs of the message, worked out once for all its signatures.
class MessageView {
  public:
    explicit MessageView(const SignaturePlan& plan, std::string body)
        : fields_(UsableFields(plan.fields)), body_(std::move(body)) {}

    const std::vector<HeaderField>& fields() const { return fields_; }

    const std::string& canonicalBody(Canonicalization form) {
        auto& slot = form == Canonicalization::simple ? simple_ : relaxed_;
        if (!slot) slot = CanonicalBody(body_, form);
        return *slot;
    }

    // The digest of the signed fields, the bottom-most unused instance of each name
    // first, and of the signature field itself without its b= value.
    platform::Sha256Digest headerDigest(const SignatureFields& tags, std::string_view own) const {
        std::vector<bool> used(fields_.size(), false);
        std::string input;
        std::string_view names =
            std::string_view(tags.signedFields).substr(0, kLongestFieldList - 1);
        while (!names.empty()) {
            const std::size_t colon = names.find(':');
            const std::string_view name = names.substr(0, colon);
            names = colon == std::string_view::npos ? std::string_view() : names.substr(colon + 1);
            if (name.empty()) continue;
            for (std::size_t i = fields_.size(); i-- > 0;) {
                if (used[i] || !SameName(fields_[i].name(), name)) continue;
                used[i] = true;
                AppendCanonicalField(input, fields_[i].text, tags.headerForm, true);
                break;
            }
        }
        AppendCanonicalField(input, WithoutSignatureValue(own), tags.headerForm, false);
        return digestOf(input);
    }

  private:
    std::vector<HeaderField> fields_;
    std::string body_;
    std::optional<std::string> simple_, relaxed_;
};

// What a lookup without a record makes of the signature.
KeyFault lookupFault(KeyAnswer::Status status) {
    switch (status) {
        case KeyAnswer::Status::absent:
            return {kNoKey, "no key for signature"};
        case KeyAnswer::Status::several:
            return {kNoDnsEntry, "multiple DNS replies"};
        case KeyAnswer::Status::timedOut:
            return {kDnsTimedOut, "key query timed out"};
        default:
            return {kNoDnsEntry, "key query failed"};
    }
}

// Whether t=s in the key forbids this i=: its domain must be d= itself.
bool identityOutsideDomain(const SignatureFields& tags) {
    if (!tags.identity) return false;
    std::string_view domain = *tags.identity;
    if (const std::size_t at = domain.find('@'); at != std::string_view::npos)
        domain.remove_prefix(at + 1);
    return !SameName(domain, tags.domain);
}

class SignatureVerifier {
  public:
    SignatureVerifier(MessageView& message, KeyLookup& keys) : message_(message), keys_(keys) {}

    SignatureCheck check(const PlannedSignature& signature) {
        const SignatureFields& tags = signature.tags;
        SignatureCheck result{
            providers::ToLowerAscii(tags.domain), tags.selector, kOtherFailure, {}};
        if (tags.fault) {
            result.code = *tags.fault;
            result.detail = tags.faultDetail;
            return result;
        }
        if (tags.algorithm == SignatureAlgorithm::rsaSha1) {
            result.detail = "algorithm refused";
            return result;
        }
        const std::string& body = message_.canonicalBody(tags.bodyForm);
        // An l= beyond the body makes the signature fail whatever else holds.
        if (tags.bodyLength && body.size() < *tags.bodyLength) {
            result.detail = "l= beyond the body";
            return result;
        }
        decide(tags, signature.fieldText, body, result);
        return result;
    }

  private:
    void decide(const SignatureFields& tags, std::string_view field, const std::string& body,
                SignatureCheck& result) {
        const auto record = key(tags);
        if (const KeyFault* fault = std::get_if<KeyFault>(&record)) {
            result.code = fault->code;
            result.detail = fault->detail;
            return;
        }
        const KeyRecord& key = std::get<KeyRecord>(record);
        const auto digest = message_.headerDigest(tags, field);
        unsigned bits = 0;
        const platform::SignatureOutcome outcome =
            tags.algorithm == SignatureAlgorithm::ed25519Sha256
                ? platform::verifyEd25519(key.publicKey, asText(digest), tags.signature)
                : platform::verifyRsaSha256(key.publicKey, digest, tags.signature, bits);
        if (outcome == platform::SignatureOutcome::badKey) {
            result.code = kNoKey;
            result.detail = "key unreadable";
            return;
        }
        if (outcome == platform::SignatureOutcome::unsupported) {
            result.code = kNotChecked;
            result.detail = "algorithm not supported here";
            return;
        }
        if (key.sameDomainOnly && identityOutsideDomain(tags)) {
            result.code = kBadIdentity;
            result.detail = "i= below d= for a key with t=s";
            return;
        }
        if (outcome == platform::SignatureOutcome::invalid) {
            result.code = kHeaderHashInvalid;
            result.detail = "signature verification failed";
            return;
        }
        const std::size_t hashed = tags.bodyLength ? std::size_t(*tags.bodyLength) : body.size();
        if (EncodeBase64(asText(digestOf(std::string_view(body).substr(0, hashed)))) !=
            tags.bodyHash) {
            result.code = kBodyHashInvalid;
            result.detail = "body hash mismatch";
        } else if (tags.algorithm != SignatureAlgorithm::ed25519Sha256 && bits < kMinimumRsaBits) {
            result.code = kNoKey;
            result.detail = "key too small";
        } else if (tags.bodyLength && body.size() > *tags.bodyLength) {
            // A body longer than l= covers carries text nobody signed.
            result.code = kBodyHashInvalid;
            result.detail = "body partly unsigned (l=)";
        } else {
            result.code = kPass;
        }
    }

    // The key record for the signature, looked up once per name and message.
    std::variant<KeyRecord, KeyFault> key(const SignatureFields& tags) {
        const std::string name = tags.selector + "._domainkey." + tags.domain;
        auto found = answers_.find(name);
        if (found == answers_.end()) found = answers_.emplace(name, keys_.lookup(name)).first;
        const KeyAnswer& answer = found->second;
        if (answer.status != KeyAnswer::Status::found) return lookupFault(answer.status);
        return ReadKeyRecord(answer.text, tags.algorithm);
    }

    MessageView& message_;
    KeyLookup& keys_;
    std::map<std::string, KeyAnswer> answers_;
};

}  // namespace

DkimResult VerifyPortable(std::string_view message, std::string_view senderDomain, KeyLookup& keys,
                          const PortableOptions& options) {
    MessageParts parts = SplitMessage(message);
    const SignaturePlan plan = PlanSignatures(parts.headers, senderDomain, options.now);
    MessageView view(plan, std::move(parts.body));
    std::vector<SignatureCheck> checks;
    // Without an author address the Linux verifier looks at no signature.
    if (HasAuthorAddress(view.fields())) {
        SignatureVerifier verifier(view, keys);
        for (const PlannedSignature& signature : plan.signatures)
            checks.push_back(verifier.check(signature));
        checks = WithUnchecked(std::move(checks), plan);
    }
    if (plan.emptySignature) checks.push_back({{}, {}, kEmptySignature, "signature header empty"});
    DkimResult result = DecideResult(checks, senderDomain, options.alwaysSigns);
    result.verified = plan.verified;
    return result;
}

}  // namespace kz::dkim
