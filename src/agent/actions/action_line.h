#pragma once
// One line of an action file: status, data, keyword, description.

#include <cstdint>
#include <string>
#include <string_view>

#include "base/text_limit.h"

namespace kz::actions {

struct ActionLine {
    static constexpr TextLimit kFieldLimit{1024};

    int32_t status = 0;       // the line runs only when it is exactly 1
    std::string data;         // field 3
    std::string keyword;      // field 4, as the file spells it
    std::string description;  // field 5
};

// Missing fields read as empty: a short line never takes a field of the line before it.
ActionLine ParseActionLine(std::string_view line);

}  // namespace kz::actions
