#include "message_verifier.h"

#include <ctime>
#include <memory>
#include <optional>

#include "canonical_form.h"
#include "key_resolver.h"
#include "message_parts.h"
#include "opendkim_api.h"
#include "provider_support/text_split.h"
#include "signature_plan.h"

namespace kz::dkim {

namespace {

struct LibraryClose {
    void operator()(DKIM_LIB* library) const { dkim_close(library); }
};
struct HandleFree {
    void operator()(DKIM* handle) const { dkim_free(handle); }
};
using Library = std::unique_ptr<DKIM_LIB, LibraryClose>;
using Handle = std::unique_ptr<DKIM, HandleFree>;

constexpr u_int kMinimumRsaBits = 1024;

auto bytes(std::string& text) {
    return reinterpret_cast<u_char*>(text.data());
}

std::string textOf(const unsigned char* value) {
    return value ? std::string(reinterpret_cast<const char*>(value)) : std::string();
}

// rsa-sha1 is refused before its key is looked up. A signature refused for a fault of its
// tags reads as algorithm 0 (rsa-sha1) too: it keeps its own fault.
DKIM_CBSTAT refuseSha1(DKIM* /*handle*/, DKIM_SIGINFO** signatures, int count) {
    for (int i = 0; i < count; ++i) {
        dkim_alg_t algorithm = DKIM_SIGN_UNKNOWN;
        if (dkim_sig_geterror(signatures[i]) == DKIM_SIGERROR_UNKNOWN &&
            dkim_sig_getsignalg(signatures[i], &algorithm) == DKIM_STAT_OK &&
            algorithm == DKIM_SIGN_RSASHA1)
            dkim_sig_ignore(signatures[i]);
    }
    return DKIM_CBSTAT_CONTINUE;
}

// The canonical body's length in each form, worked out when first asked for.
class CanonicalLengths {
  public:
    explicit CanonicalLengths(const std::string& body) : body_(body) {}
    std::size_t of(dkim_canon_t form) {
        const bool relaxed = form == DKIM_CANON_RELAXED;
        auto& slot = relaxed ? relaxed_ : simple_;
        if (!slot)
            slot =
                CanonicalBody(body_, relaxed ? Canonicalization::relaxed : Canonicalization::simple)
                    .size();
        return *slot;
    }

  private:
    const std::string& body_;
    std::optional<std::size_t> simple_, relaxed_;
};

Library openLibrary(KeyResolver& resolver) {
    Library library(dkim_init(nullptr, nullptr));
    if (!library) return library;
    u_int minimumBits = kMinimumRsaBits;
    dkim_options(library.get(), DKIM_OP_SETOPT, DKIM_OPTS_MINKEYBITS, &minimumBits,
                 sizeof minimumBits);
    dkim_set_prescreen(library.get(), &refuseSha1);
    resolver.install(library.get());
    return library;
}

ResultCode failureOf(DKIM* handle, DKIM_SIGINFO* signature, const KeyResolver& resolver,
                     const std::string& keyName, CanonicalLengths& lengths) {
    const unsigned int flags = dkim_sig_getflags(signature);
    if (flags & DKIM_SIGFLAG_IGNORE) return kOtherFailure;  // refused algorithm
    if (dkim_sig_getbh(signature) == DKIM_SIGBH_MISMATCH) return kBodyHashInvalid;
    if ((flags & DKIM_SIGFLAG_PASSED) && dkim_sig_getbh(signature) == DKIM_SIGBH_MATCH) {
        // A canonical body longer than l= carries text nobody signed.
        ssize_t bodyLength = 0, canonical = 0, signedLength = 0;
        dkim_canon_t headerForm = DKIM_CANON_SIMPLE, bodyForm = DKIM_CANON_SIMPLE;
        if (dkim_sig_getcanonlen(handle, signature, &bodyLength, &canonical, &signedLength) ==
                DKIM_STAT_OK &&
            signedLength >= 0 &&
            dkim_sig_getcanons(signature, &headerForm, &bodyForm) == DKIM_STAT_OK &&
            lengths.of(bodyForm) > std::size_t(signedLength))
            return kBodyHashInvalid;
        return kPass;
    }
    switch (dkim_sig_geterror(signature)) {
        case DKIM_SIGERROR_BADSIG:
            return kHeaderHashInvalid;
        case DKIM_SIGERROR_NOKEY:
        case DKIM_SIGERROR_KEYREVOKED:
        case DKIM_SIGERROR_KEYDECODE:
        case DKIM_SIGERROR_KEYTYPEMISSING:
        case DKIM_SIGERROR_KEYTYPEUNKNOWN:
        case DKIM_SIGERROR_KEYVERSION:
        case DKIM_SIGERROR_KEYUNKNOWNHASH:
        case DKIM_SIGERROR_KEYHASHMISMATCH:
        case DKIM_SIGERROR_NOTEMAILKEY:
        case DKIM_SIGERROR_KEYTOOSMALL:
            return kNoKey;
        case DKIM_SIGERROR_KEYFAIL:
        case DKIM_SIGERROR_DNSSYNTAX:
        case DKIM_SIGERROR_MULTIREPLY:
            return resolver.timedOut(keyName) ? kDnsTimedOut : kNoDnsEntry;
        case DKIM_SIGERROR_DOMAIN:
        case DKIM_SIGERROR_SUBDOMAIN:
            return kBadIdentity;
        default:
            return kOtherFailure;
    }
}

std::string detailOf(DKIM_SIGINFO* signature, ResultCode code) {
    if (code == kPass) return {};
    if (dkim_sig_getflags(signature) & DKIM_SIGFLAG_IGNORE) return "algorithm refused";
    if (code == kBodyHashInvalid && dkim_sig_getbh(signature) != DKIM_SIGBH_MISMATCH)
        return "body partly unsigned (l=)";
    return textOf(
        reinterpret_cast<const unsigned char*>(dkim_sig_geterrorstr(dkim_sig_geterror(signature))));
}

std::vector<SignatureCheck> checkSignatures(DKIM* handle, const KeyResolver& resolver,
                                            CanonicalLengths& lengths) {
    std::vector<SignatureCheck> checks;
    DKIM_SIGINFO** signatures = nullptr;
    int count = 0;
    if (dkim_getsiglist(handle, &signatures, &count) != DKIM_STAT_OK) return checks;
    for (int i = 0; i < count; ++i) {
        SignatureCheck check;
        check.domain = providers::ToLowerAscii(textOf(dkim_sig_getdomain(signatures[i])));
        check.selector = textOf(dkim_sig_getselector(signatures[i]));
        const std::string keyName = check.selector + "._domainkey." + check.domain;
        check.code = failureOf(handle, signatures[i], resolver, keyName, lengths);
        check.detail = detailOf(signatures[i], check.code);
        checks.push_back(std::move(check));
    }
    return checks;
}

}  // namespace

DkimResult VerifyMessage(const DkimSettings& settings, std::string_view message,
                         std::string_view senderDomain) {
    const bool alwaysSigns = settings.alwaysSigns(senderDomain);
    KeyResolver resolver(settings.servers, settings.timeout);
    Library library = openLibrary(resolver);
    DKIM_STAT status = DKIM_STAT_OK;
    Handle handle(library ? dkim_verify(library.get(), reinterpret_cast<const u_char*>("message"),
                                        nullptr, &status)
                          : nullptr);
    if (!handle) return {kNotChecked, {}, {}, "verifier could not be started", 0};

    MessageParts parts = SplitMessage(message);
    // Signatures beyond those verified are not given to the library at all: it would
    // hash the body once for each.
    SignaturePlan plan = PlanSignatures(parts.headers, senderDomain, uint64_t(std::time(nullptr)));
    for (std::string& field : plan.fields) dkim_header(handle.get(), bytes(field), field.size());
    status = dkim_eoh(handle.get());
    if (status == DKIM_STAT_OK || status == DKIM_STAT_SYNTAX || status == DKIM_STAT_BADSIG) {
        if (!parts.body.empty()) dkim_body(handle.get(), bytes(parts.body), parts.body.size());
        dkim_eom(handle.get(), nullptr);
    }
    // Signatures refused or expired before any lookup also leave "no signature" here: the
    // list still has them.
    CanonicalLengths lengths(parts.body);
    std::vector<SignatureCheck> checks = checkSignatures(handle.get(), resolver, lengths);
    if (!checks.empty()) checks = WithUnchecked(std::move(checks), plan);
    if (plan.emptySignature) checks.push_back({{}, {}, kEmptySignature, "signature header empty"});
    DkimResult result = DecideResult(checks, senderDomain, alwaysSigns);
    result.verified = plan.verified;
    return result;
}

}  // namespace kz::dkim
