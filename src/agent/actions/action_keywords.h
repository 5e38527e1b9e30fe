#pragma once
// The action keywords and the operation each runs, in the order a keyword is compared.

#include <string>
#include <string_view>

#include "filters/filter_table.h"
#include "message/message_context.h"

namespace kz::actions {

// What an action operation is given.
struct ActionCall {
    MessageContext& context;
    const filters::FilterDefinition& filter;
    std::string_view data;         // field 3
    std::string_view description;  // field 5
    const std::string& matchDescription;
};

enum class Recording {
    OnSuccess,  // the keyword is recorded when the operation succeeded
    Always,     // recorded before the operation is tried (COPY, MOVE)
};

struct ActionKeyword {
    std::string_view keyword;
    bool (*run)(const ActionCall&);
    Recording recording;
    bool stops;  // STOP_PROCESSING
};

// The keyword's entry, compared without regard to case; null for unknown keywords.
const ActionKeyword* FindActionKeyword(std::string_view keyword);

}  // namespace kz::actions
