#pragma once
// The evaluators of the text criteria. Each is called once per value (a header value,
// a body, the recipient list ...) and records, for every filter that enables the kind,
// the hits of the value against the filter's instances and alternatives. They only
// read the table and write only the results of their own run.

#include <span>
#include <string>
#include <string_view>

#include "evaluate/evaluation.h"

namespace kz::evaluate {

// Word and pattern lists (SUBJECT, BODY, PRIORITY, HASATTACHMENTSMATCHING in the MIME
// scan, HEADERS_CONTAIN, SPF, BOUNDARYHEADERS_CONTAIN). Tag "MF-W".
void EvaluateWords(Evaluation& evaluation, CriterionType kind, std::string_view value,
                   std::string_view delimiters);

// Address lists of the To, Cc and From headers (TO, CC, TOorCC, FROM). Tag "MF-R" for
// inline lists, "MF-W" for word files.
void EvaluateAddresses(Evaluation& evaluation, CriterionType kind, std::string_view value,
                       std::string_view delimiters);

// Envelope values (TOorCC with the recipient list, IPADDRESS, ACCOUNT, CONNECTOR).
// Tag "MF-E".
void EvaluateEnvelopeList(Evaluation& evaluation, CriterionType kind, std::string_view value,
                          std::string_view delimiters);

// The country-of-origin header: for COUNTRY_MATCH each listed country that matches is a
// hit, for COUNTRY_NOMATCH each one that does not. Tag "MF-W".
void EvaluateCountries(Evaluation& evaluation, CriterionType kind, std::string_view value,
                       std::string_view delimiters);

// HASATTACHMENTSMATCHING with a part header line (its filename, else its name
// parameter). Tag "MF-A".
void EvaluateAttachmentLine(Evaluation& evaluation, std::string_view headerLine,
                            std::string_view delimiters);

// HASATTACHMENTSMATCHING with the names read from one part's headers: per alternative
// one hit when any of them matches. Tag "MF-A".
void EvaluateAttachmentNames(Evaluation& evaluation, std::span<const std::string> names,
                             std::string_view delimiters);

// Whether a part's header text names an attachment ("name=" in any letter case).
bool NamesAnAttachment(std::string_view headerText);

// HASANATTACHMENT for a part: a named one is one hit per filter and message. Tag "MF-HA".
void RecordAttachmentPresence(Evaluation& evaluation, bool named);

// For a message with parts the scan could not look at: every attachment criterion holds,
// each instance of HASATTACHMENTSMATCHING with its first alternative as the match.
void HoldAttachmentCriteria(Evaluation& evaluation);

}  // namespace kz::evaluate
