#pragma once
// The tagged text handed to the actions of a filter that holds.

#include <string>
#include <string_view>

#include "base/text_limit.h"
#include "filters/criteria_results.h"
#include "message/message_context.h"

namespace kz::actions {

constexpr TextLimit kMatchDescriptionLimit{1024};

std::string BuildMatchDescription(const MessageContext& context, std::string_view criterionName,
                                  const filters::MatchResultBlock& block);

}  // namespace kz::actions
