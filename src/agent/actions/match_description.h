#pragma once
// The tagged text handed to the actions of a filter that holds.

#include <string>
#include <string_view>

#include "filters/criteria_results.h"
#include "message/message_context.h"

namespace kz::actions {

constexpr std::size_t kMatchDescriptionSize = 1024;

std::string BuildMatchDescription(const MessageContext& context, std::string_view criterionName,
                                  const filters::MatchResultBlock& block);

}  // namespace kz::actions
