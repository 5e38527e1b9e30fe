#pragma once
// The criterion kinds. A kind's index is the position of its slot in every filter and
// of its results; its keyword names it in criteria scripts, criteria texts and tokens.
// Everything else a kind is (how its instances are written, where its value comes from,
// how it is measured) is one row of kCriterionKinds.

#include <array>
#include <cstdint>
#include <string_view>

namespace kz::filters {

enum CriterionType : int {
    SUBJECT = 0,
    BODY = 1,
    TO = 2,
    CC = 3,
    TOorCC = 4,
    PRIORITY = 5,
    FROM = 6,
    SIZE = 7,
    HASATTACHMENTSMATCHING = 8,
    HASANATTACHMENT = 9,
    SECURE = 10,
    HEADERS_CONTAIN = 11,
    SPAM_PROBABILITY = 12,
    SPF = 13,
    HASVIRUS = 14,
    ALLMESSAGES = 15,
    SENDERAUTH = 16,
    IPADDRESS = 17,
    ACCOUNT = 18,
    CONNECTOR = 19,
    URLBL = 20,
    BOUNDARYHEADERS_CONTAIN = 21,
    IPADDRESS_WHITELISTED = 22,
    DKIM = 23,
    SPAMASSASSIN = 24,
    COUNTRY_MATCH = 25,
    COUNTRY_NOMATCH = 26,
};

constexpr int kCriterionCount = 27;
constexpr int kMaxFilters = 100;
// Instance values a result row holds per kind; later instances have no place there.
constexpr int kMaxInstances = 16;

// How a kind is measured; each shape has one evaluator.
enum class KindShape : uint8_t {
    Words,      // words and patterns, inline (tab-separated) or a word file
    Addresses,  // addresses of a header, inline or a word file
    Envelope,   // an envelope value against a list
    Countries,  // listed countries that match (or, for NOMATCH, do not)
    Names,      // attachment names against patterns
    Presence,   // a named attachment is there
    Threshold,  // a measured number above the slot's data
    Status,     // a number equal to the slot's data
    Verdict,    // a provider library's verdict on the message
    Whitelist,  // the client address on the whitelists
    Met,        // holds by being asked
    None,       // nothing ever measures it
};

// Where a kind's value comes from (several may apply).
enum ValueSource : uint8_t {
    kFromEnvelope = 1,
    kFromHeaders = 2,
    kFromParts = 4,
    kFromBody = 8,
    kFromProvider = 16,
    kFromLinks = 32,
};

struct CriterionKind {
    CriterionType type;
    std::string_view keyword;
    KindShape shape;
    uint8_t sources;       // ValueSource bits
    std::string_view tag;  // the tag of its match text, "<tag>...</tag>" (address
                           // lists use "MF-W" for word files; empty: no tagged text)
};

// Whether instances are lists of alternatives (inline, tab-separated, or a word file).
constexpr bool IsListShape(KindShape shape) {
    return shape == KindShape::Words || shape == KindShape::Addresses ||
           shape == KindShape::Envelope || shape == KindShape::Names;
}

// clang-format off
inline constexpr std::array<CriterionKind, kCriterionCount> kCriterionKinds{{
    {SUBJECT,                 "SUBJECT",                 KindShape::Words,     kFromHeaders,  "MF-W"},
    {BODY,                    "BODY",                    KindShape::Words,     kFromBody,     "MF-W"},
    {TO,                      "TO",                      KindShape::Addresses, kFromHeaders,  "MF-R"},
    {CC,                      "CC",                      KindShape::Addresses, kFromHeaders,  "MF-R"},
    {TOorCC,                  "TOorCC",                  KindShape::Addresses, kFromHeaders | kFromEnvelope, "MF-R"},
    {PRIORITY,                "PRIORITY",                KindShape::Words,     kFromHeaders,  "MF-W"},
    {FROM,                    "FROM",                    KindShape::Addresses, kFromHeaders,  "MF-R"},
    {SIZE,                    "SIZE",                    KindShape::Threshold, kFromEnvelope, "SZ"},
    {HASATTACHMENTSMATCHING,  "HASATTACHMENTSMATCHING",  KindShape::Names,     kFromParts,    "MF-A"},
    {HASANATTACHMENT,         "HASANATTACHMENT",         KindShape::Presence,  kFromParts,    "MF-HA"},
    {SECURE,                  "SECURE",                  KindShape::None,      0,             ""},
    {HEADERS_CONTAIN,         "HEADERS_CONTAIN",         KindShape::Words,     kFromHeaders,  "MF-W"},
    {SPAM_PROBABILITY,        "SPAM_PROBABILITY",        KindShape::Threshold, kFromProvider, "BFV"},
    {SPF,                     "SPF",                     KindShape::Words,     kFromHeaders,  "MF-W"},
    {HASVIRUS,                "HASVIRUS",                KindShape::Verdict,   kFromProvider, ""},
    {ALLMESSAGES,             "ALLMESSAGES",             KindShape::Met,       0,             "MF-ALL"},
    {SENDERAUTH,              "SENDERAUTH",              KindShape::Status,    kFromEnvelope, "MF-ES"},
    {IPADDRESS,               "IPADDRESS",               KindShape::Envelope,  kFromEnvelope, "MF-E"},
    {ACCOUNT,                 "ACCOUNT",                 KindShape::Envelope,  kFromEnvelope, "MF-E"},
    {CONNECTOR,               "CONNECTOR",               KindShape::Envelope,  kFromEnvelope, "MF-E"},
    {URLBL,                   "URLBL",                   KindShape::Met,       kFromLinks,    "MF-SBLURI"},
    {BOUNDARYHEADERS_CONTAIN, "BOUNDARYHEADERS_CONTAIN", KindShape::Words,     kFromParts,    "MF-W"},
    {IPADDRESS_WHITELISTED,   "IPADDRESS_WHITELISTED",   KindShape::Whitelist, kFromEnvelope, ""},
    {DKIM,                    "DKIM",                    KindShape::Verdict,   kFromProvider, ""},
    {SPAMASSASSIN,            "SPAMASSASSIN",            KindShape::Verdict,   kFromProvider, "PASS"},
    {COUNTRY_MATCH,           "COUNTRY_MATCH",           KindShape::Countries, kFromHeaders,  "MF-W"},
    {COUNTRY_NOMATCH,         "COUNTRY_NOMATCH",         KindShape::Countries, kFromHeaders,  "MF-W"},
}};
// clang-format on

constexpr bool KindsAreInOrder() {
    for (int k = 0; k < kCriterionCount; ++k) {
        if (kCriterionKinds[std::size_t(k)].type != k) return false;
    }
    return true;
}
static_assert(KindsAreInOrder(), "each kind's row sits at its own index");

constexpr const CriterionKind& KindOf(int kind) {
    return kCriterionKinds[std::size_t(kind)];
}

// The kind whose keyword equals `keyword` ignoring case, or -1.
int CriterionFromKeyword(std::string_view keyword);

}  // namespace kz::filters
