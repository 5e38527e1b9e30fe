#pragma once
// Where the scan hands the message to the scanning providers and the link blacklists.
// Each call is its own function so the provider bindings can take it over one by one;
// until they exist, no provider verdict and no listed link is reported.

#include <string>
#include <string_view>

#include "filters/criteria_results.h"
#include "filters/filter_table.h"
#include "message/message_context.h"

namespace kz::scan {

void CheckSpamProbability(MessageContext& context, const filters::FilterTable& table,
                          filters::CriteriaResults& results);
void CheckSpamAssassin(MessageContext& context, const filters::FilterTable& table,
                       filters::CriteriaResults& results);
void CheckDkim(MessageContext& context, const filters::FilterTable& table,
               filters::CriteriaResults& results);
void CheckVirus(MessageContext& context, const filters::FilterTable& table,
                filters::CriteriaResults& results);

// True when the text holds a link whose host is listed; listName then names the list.
// lookupCounter counts the lookups of one scan call.
bool FindListedLink(std::string_view messageId, int& lookupCounter, std::string_view text,
                    std::string& listName);

// The URLBL check of one text: records kind URLBL when a link in it is listed.
void CheckLinks(const MessageContext& context, int& lookupCounter, std::string_view text,
                const filters::FilterTable& table, filters::CriteriaResults& results);

}  // namespace kz::scan
