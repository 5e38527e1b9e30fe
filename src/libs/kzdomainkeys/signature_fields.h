#pragma once
// The tags of one DKIM-Signature field (RFC 6376 3.5) and whether they can be verified,
// checked in the order and with the outcome of the Linux verifier.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "canonical_form.h"
#include "dkim_result.h"

namespace kz::dkim {

// How much of h= the Linux verifier reads: this many characters when it looks for From,
// one fewer when it picks the fields to hash.
constexpr std::size_t kLongestFieldList = 4096;

enum class SignatureAlgorithm { rsaSha1, rsaSha256, ed25519Sha256 };

struct SignatureFields {
    std::string domain;                   // d=, as written
    std::string selector;                 // s=
    std::optional<std::string> identity;  // i=, as written
    SignatureAlgorithm algorithm = SignatureAlgorithm::rsaSha256;
    Canonicalization headerForm = Canonicalization::simple;
    Canonicalization bodyForm = Canonicalization::simple;
    std::string signedFields;            // h=
    std::optional<uint64_t> bodyLength;  // l=
    std::string bodyHash;                // bh=, compared as text
    std::string signature;               // b=, decoded

    // A fault found before any key is looked up: the signature fails with it.
    std::optional<ResultCode> fault;
    std::string faultDetail;
};

// Null when the field's value is no signature at all (not a tag list, a required tag
// missing, t= or x= not a number); such a field is passed over.
std::optional<SignatureFields> ReadSignatureFields(std::string_view value, uint64_t now);

// Whether the colon-separated list of field names holds `name` (in any case).
bool NamesField(std::string_view fieldList, std::string_view name);

// Base64 as the Linux verifier decodes it: characters outside the alphabet are skipped,
// decoding stops at the first "="; null when a single character is left over.
std::optional<std::string> DecodeBase64(std::string_view text);
std::string EncodeBase64(std::string_view bytes);

}  // namespace kz::dkim
