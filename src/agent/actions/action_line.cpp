#include "actions/action_line.h"

#include "filters/config_fields.h"

namespace kz::actions {

ActionLine ParseActionLine(std::string_view line) {
    ActionLine action;
    action.status =
        filters::AtoiText(filters::TabField(line, 1, ActionLine::kFieldLimit).value_or(""));
    action.data = filters::TabField(line, 3, ActionLine::kFieldLimit).value_or("");
    action.keyword = filters::TabField(line, 4, ActionLine::kFieldLimit).value_or("");
    action.description = filters::TabField(line, 5, ActionLine::kFieldLimit).value_or("");
    return action;
}

}  // namespace kz::actions
