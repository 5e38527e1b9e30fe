#pragma once
// The "simple" and "relaxed" canonical forms of header fields and bodies (RFC 6376 3.4),
// byte for byte as the Linux verifier produces them, odd inputs (bare CRs, lines of
// blanks) included, so that both verifiers hash the same bytes.

#include <string>
#include <string_view>

namespace kz::dkim {

enum class Canonicalization { simple, relaxed };

// Appends the canonical form of one header field, with CR LF after it when `lineEnd`.
void AppendCanonicalField(std::string& out, std::string_view field, Canonicalization form,
                          bool lineEnd);

// A DKIM-Signature field with the value of its "b=" tag left out, as it enters its own
// header hash.
std::string WithoutSignatureValue(std::string_view field);

// The canonical body; `body` has CR LF after every line.
std::string CanonicalBody(std::string_view body, Canonicalization form);

}  // namespace kz::dkim
