#include "signature_fields.h"

#include <charconv>

#include "base/base64_alphabet.h"
#include "header_fields.h"
#include "tag_list.h"

namespace kz::dkim {

namespace {

// Clocks of signer and verifier may differ this much.
constexpr uint64_t kClockDrift = 300;

// A number as strtoull reads it: an optional "+", digits, nothing after them; "-",
// overflow and the largest value are refused. `emptyIsZero` for l=, which reads "" as 0.
std::optional<uint64_t> readNumber(std::string_view text, bool emptyIsZero = false) {
    if (text.empty()) return emptyIsZero ? std::optional<uint64_t>(0) : std::nullopt;
    if (text.front() == '+') text.remove_prefix(1);
    uint64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        number == UINT64_MAX)
        return std::nullopt;
    return number;
}

std::optional<Canonicalization> formNamed(std::string_view name) {
    if (SameName(name, "simple")) return Canonicalization::simple;
    if (SameName(name, "relaxed")) return Canonicalization::relaxed;
    return std::nullopt;
}

std::optional<SignatureAlgorithm> algorithmNamed(std::string_view name) {
    if (SameName(name, "rsa-sha1")) return SignatureAlgorithm::rsaSha1;
    if (SameName(name, "rsa-sha256")) return SignatureAlgorithm::rsaSha256;
    if (SameName(name, "ed25519-sha256")) return SignatureAlgorithm::ed25519Sha256;
    return std::nullopt;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// i= with its quoted-printable escapes decoded.
std::string decodedIdentity(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int high = i + 2 < text.size() && text[i] == '=' ? hexDigit(text[i + 1]) : -1;
        const int low = high >= 0 ? hexDigit(text[i + 2]) : -1;
        if (low >= 0) {
            out += char(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Whether the identity's domain is d= or lies below it.
bool identityWithinDomain(const std::string* identity, std::string_view domain) {
    const std::string address = identity ? decodedIdentity(*identity) : "@" + std::string(domain);
    const std::size_t at = address.find('@');
    if (at == std::string::npos) return false;
    std::string_view rest = std::string_view(address).substr(at + 1);
    if (SameName(rest, domain)) return true;
    for (std::size_t dot = rest.find('.'); dot != std::string_view::npos;
         dot = rest.find('.', dot + 1))
        if (SameName(rest.substr(dot + 1), domain)) return true;
    return false;
}

// q=: the first "dns" method must be "dns/txt"; methods of other names are passed over.
bool queryMethodUsable(std::string_view methods) {
    bool badOption = false;
    while (!methods.empty()) {
        const std::size_t colon = methods.find(':');
        const std::string_view method = methods.substr(0, colon);
        methods = colon == std::string_view::npos ? std::string_view() : methods.substr(colon + 1);
        const std::size_t slash = method.find('/');
        if (!SameName(method.substr(0, slash), "dns")) continue;
        if (slash != std::string_view::npos && method.substr(slash + 1) == "txt") return !badOption;
        badOption = true;
    }
    return false;
}

struct Fault {
    ResultCode code;
    const char* detail;
};

std::optional<Fault> firstFault(const TagList& tags, SignatureFields& fields, uint64_t now) {
    const std::string& domain = *tags.find("d");
    if (domain.empty()) return Fault{kOtherFailure, "empty d="};
    const std::string& selector = *tags.find("s");
    if (selector.empty()) return Fault{kOtherFailure, "empty s="};
    const std::string& version = *tags.find("v");
    if (version != "1") return Fault{kOtherFailure, "unsupported version"};
    const std::string* identity = tags.find("i");
    if (!identityWithinDomain(identity, domain)) return Fault{kBadIdentity, "i= outside d="};
    // Both were checked to be numbers when the field was read.
    const bool expires = tags.find("x"), dated = tags.find("t");
    const uint64_t expiry = expires ? readNumber(*tags.find("x")).value_or(0) : 0;
    const uint64_t signedAt = dated ? readNumber(*tags.find("t")).value_or(0) : 0;
    // Unsigned arithmetic as the Linux verifier does it: t= below the drift is "future".
    if (expires && now >= expiry + kClockDrift) return Fault{kOtherFailure, "signature expired"};
    if (dated && now < signedAt - kClockDrift)
        return Fault{kOtherFailure, "signature in the future"};
    if (expires && dated && !(signedAt < expiry)) return Fault{kOtherFailure, "x= not after t="};
    if (const std::string* forms = tags.find("c")) {
        const std::size_t slash = forms->find('/');
        const auto header = formNamed(std::string_view(*forms).substr(0, slash));
        if (!header) return Fault{kOtherFailure, "unknown header canonicalization"};
        fields.headerForm = *header;
        if (slash != std::string::npos) {
            const auto body = formNamed(std::string_view(*forms).substr(slash + 1));
            if (!body) return Fault{kOtherFailure, "unknown body canonicalization"};
            fields.bodyForm = *body;
        }
    }
    const auto algorithm = algorithmNamed(*tags.find("a"));
    if (!algorithm) return Fault{kOtherFailure, "unknown algorithm"};
    fields.algorithm = *algorithm;
    fields.signedFields = *tags.find("h");
    if (fields.signedFields.empty()) return Fault{kOtherFailure, "empty h="};
    if (!NamesField(std::string_view(fields.signedFields).substr(0, kLongestFieldList), "from"))
        return Fault{kOtherFailure, "From not signed"};
    if (const std::string* length = tags.find("l")) {
        fields.bodyLength = readNumber(*length, true);
        if (!fields.bodyLength) return Fault{kOtherFailure, "invalid l="};
        // A length beyond what a signed size holds limits nothing.
        if (*fields.bodyLength > uint64_t(INT64_MAX)) fields.bodyLength.reset();
    }
    if (const std::string* methods = tags.find("q"); methods && !queryMethodUsable(*methods))
        return Fault{kOtherFailure, "unknown query method"};
    const std::string* bodyHash = tags.find("bh");
    if (!bodyHash || bodyHash->empty()) return Fault{kOtherFailure, "no body hash"};
    fields.bodyHash = *bodyHash;
    const std::string& signature = *tags.find("b");
    if (signature.empty()) return Fault{kOtherFailure, "empty b="};
    auto bytes = DecodeBase64(signature);
    if (!bytes) return Fault{kOtherFailure, "corrupt b="};
    fields.signature = std::move(*bytes);
    return std::nullopt;
}

}  // namespace

bool NamesField(std::string_view fieldList, std::string_view name) {
    while (true) {
        const std::size_t colon = fieldList.find(':');
        if (SameName(fieldList.substr(0, colon), name)) return true;
        if (colon == std::string_view::npos) return false;
        fieldList.remove_prefix(colon + 1);
    }
}

std::optional<std::string> DecodeBase64(std::string_view text) {
    // The Linux verifier decodes into as many bytes as the text has characters, and
    // gives up when three more might not fit.
    const std::size_t room = text.size();
    std::string out;
    out.reserve(text.size() * 3 / 4);
    uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        if (c == '=') break;
        const int value = Base64Value(c);
        if (value < 0) continue;
        if (out.size() + 3 > room) return std::nullopt;
        bits = bits << 6 | uint32_t(value);
        if (++count == 4) {
            out += char(bits >> 16);
            out += char(bits >> 8);
            out += char(bits);
            bits = 0;
            count = 0;
        }
    }
    if (count == 1) return std::nullopt;
    if (out.size() + std::size_t(count > 0 ? count - 1 : 0) > room) return std::nullopt;
    if (count == 2) out += char(bits >> 4);
    if (count == 3) {
        out += char(bits >> 10);
        out += char(bits >> 2);
    }
    return out;
}

std::string EncodeBase64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t bits = uint32_t(uint8_t(bytes[i])) << 16;
        if (i + 1 < bytes.size()) bits |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size()) bits |= uint8_t(bytes[i + 2]);
        out += kAlphabet[bits >> 18 & 63];
        out += kAlphabet[bits >> 12 & 63];
        out += i + 1 < bytes.size() ? kAlphabet[bits >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[bits & 63] : '=';
    }
    return out;
}

std::optional<SignatureFields> ReadSignatureFields(std::string_view value, uint64_t now) {
    const auto tags = ParseTagList(value);
    if (!tags) return std::nullopt;
    for (const char* required : {"s", "h", "d", "b", "v", "a"})
        if (!tags->find(required)) return std::nullopt;
    for (const char* time : {"t", "x"})
        if (tags->find(time) && !readNumber(*tags->find(time))) return std::nullopt;
    SignatureFields fields;
    fields.domain = *tags->find("d");
    fields.selector = *tags->find("s");
    if (const std::string* identity = tags->find("i")) fields.identity = *identity;
    if (const auto fault = firstFault(*tags, fields, now)) {
        fields.fault = fault->code;
        fields.faultDetail = fault->detail;
    }
    return fields;
}

}  // namespace kz::dkim
