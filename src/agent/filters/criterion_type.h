#pragma once
// The criterion kinds. A kind's index is the position of its slot in every filter and
// of its results; its keyword names it in criteria scripts, criteria texts and tokens.

#include <array>
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

// The one keyword table, indexed by CriterionType.
extern const std::array<std::string_view, kCriterionCount> kCriterionKeywords;

// The kind whose keyword equals `keyword` ignoring case, or -1.
int CriterionFromKeyword(std::string_view keyword);

}  // namespace kz::filters
