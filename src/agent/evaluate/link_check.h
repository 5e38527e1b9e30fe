#pragma once
// The URI blacklist check of the texts a scan meets.

#include <string_view>

#include "filters/criteria_results.h"
#include "filters/filter_table.h"
#include "filters/link_blacklist.h"
#include "message/message_context.h"

namespace kz::scan {

// The URLBL check of one text: records kind URLBL when a link in it is listed. The
// lookups are shared by every text of one scan call.
void CheckLinks(const MessageContext& context, filters::LinkLookups& lookups, std::string_view text,
                const filters::FilterTable& table, filters::CriteriaResults& results);

}  // namespace kz::scan
