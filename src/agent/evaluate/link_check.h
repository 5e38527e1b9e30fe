#pragma once
// The URI blacklist check of the texts a scan meets.

#include <string_view>

#include "evaluate/evaluation.h"
#include "filters/link_blacklist.h"

namespace kz::evaluate {

// The URLBL check of one text: records kind URLBL when a link in it is listed. The
// lookups are shared by every text of one scan call.
void CheckLinks(Evaluation& evaluation, filters::LinkLookups& lookups, std::string_view text);

}  // namespace kz::evaluate
