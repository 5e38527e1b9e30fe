#include "filters/criterion_type.h"

#include "base/ascii.h"

namespace kz::filters {

const std::array<std::string_view, kCriterionCount> kCriterionKeywords = {
    "SUBJECT",
    "BODY",
    "TO",
    "CC",
    "TOorCC",
    "PRIORITY",
    "FROM",
    "SIZE",
    "HASATTACHMENTSMATCHING",
    "HASANATTACHMENT",
    "SECURE",
    "HEADERS_CONTAIN",
    "SPAM_PROBABILITY",
    "SPF",
    "HASVIRUS",
    "ALLMESSAGES",
    "SENDERAUTH",
    "IPADDRESS",
    "ACCOUNT",
    "CONNECTOR",
    "URLBL",
    "BOUNDARYHEADERS_CONTAIN",
    "IPADDRESS_WHITELISTED",
    "DKIM",
    "SPAMASSASSIN",
    "COUNTRY_MATCH",
    "COUNTRY_NOMATCH",
};

int CriterionFromKeyword(std::string_view keyword) {
    for (int k = 0; k < kCriterionCount; ++k) {
        if (equalsIgnoreCase(kCriterionKeywords[k], keyword)) return k;
    }
    return -1;
}

}  // namespace kz::filters
