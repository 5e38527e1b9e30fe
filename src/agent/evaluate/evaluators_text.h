#pragma once
// The evaluators of the text criteria. Each is called once per value (a header value,
// a body, the recipient list ...) and records, for every filter that enables the kind,
// the hits of the value against the filter's instances and alternatives. They only
// read the table and write only the results of their own run; all return 1.

#include <span>
#include <string>
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

// Attachment names already read from a part's headers: per alternative one hit when any
// of them matches. Tag "MF-A".
int EvaluateAttachmentNames(CriterionType kind, std::span<const std::string> names,
                            std::string_view delimiters, const FilterTable& table,
                            CriteriaResults& results);

// Presence of a named attachment: a header text with "name=" is one hit per filter and
// message. Tag "MF-HA".
int EvaluateAttachmentPresence(CriterionType kind, std::string_view headerText,
                               std::string_view delimiters, const FilterTable& table,
                               CriteriaResults& results);
// The same for a part whose scan has told whether it is named.
int RecordAttachmentPresence(CriterionType kind, bool named, const FilterTable& table,
                             CriteriaResults& results);

// For a message with parts the scan could not look at: every attachment criterion holds,
// each instance of HASATTACHMENTSMATCHING with its first alternative as the match.
int HoldAttachmentCriteria(const FilterTable& table, CriteriaResults& results);

}  // namespace kz::filters
