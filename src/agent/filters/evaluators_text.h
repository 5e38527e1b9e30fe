#pragma once
// The evaluators of the text criteria. Each is called once per value (a header value,
// a body, the recipient list ...) and records, for every filter that enables the kind,
// the hits of the value against the filter's instances and alternatives. They only
// read the table and write only the results of their own run; all return 1.

#include <string_view>

#include "filters/criteria_results.h"
#include "filters/criterion_type.h"
#include "filters/filter_table.h"

namespace kz::filters {

// Word and pattern lists (SUBJECT, BODY, PRIORITY, HASATTACHMENTSMATCHING in the MIME
// scan, HEADERS_CONTAIN, SPF, BOUNDARYHEADERS_CONTAIN). Tag "MF-W".
int EvaluateWordCriterion(CriterionType kind, std::string_view value, std::string_view delimiters,
                          const FilterTable& table, CriteriaResults& results);

// Address lists of the To, Cc and From headers (TO, CC, TOorCC, FROM). Tag "MF-R" for
// inline lists, "MF-W" for word files.
int EvaluateAddressCriterion(CriterionType kind, std::string_view value,
                             std::string_view delimiters, const FilterTable& table,
                             CriteriaResults& results);

// Envelope values (TOorCC with the recipient list, IPADDRESS, ACCOUNT, CONNECTOR).
// Tag "MF-E". Note the order: the delimiters come before the value.
int EvaluateEnvelopeCriterion(CriterionType kind, std::string_view delimiters,
                              std::string_view value, const FilterTable& table,
                              CriteriaResults& results);

// The country-of-origin header: with matchFlag 1 each listed country that matches is a
// hit (COUNTRY_MATCH), with matchFlag 0 each one that does not (COUNTRY_NOMATCH).
// Tag "MF-W".
int EvaluateCountryCriterion(CriterionType kind, std::string_view value,
                             std::string_view delimiters, const FilterTable& table,
                             CriteriaResults& results, int matchFlag);

// Attachment names in a part header line (its filename, else its name parameter).
// Tag "MF-A".
int EvaluateAttachmentName(CriterionType kind, std::string_view headerLine,
                           std::string_view delimiters, const FilterTable& table,
                           CriteriaResults& results);

// Presence of a named attachment: a header text with "name=" is one hit per filter and
// message. Tag "MF-HA".
int EvaluateAttachmentPresence(CriterionType kind, std::string_view headerText,
                               std::string_view delimiters, const FilterTable& table,
                               CriteriaResults& results);

}  // namespace kz::filters
