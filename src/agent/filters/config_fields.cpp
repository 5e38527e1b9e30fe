#include "filters/config_fields.h"

#include <algorithm>
#include <limits>

#include "base/delimited_field.h"
#include "base/text_limit.h"

namespace kz::filters {

std::optional<std::string> TabField(std::string_view line, int field, TextLimit limit) {
    std::string text;
    if (!GetDelimitedField(line, "\t", field, text, kNoTextLimit)) return std::nullopt;
    return std::string(limit.wholeOrEmpty(text));
}

int32_t AtoiText(std::string_view text) {
    std::size_t i = 0;
    auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < text.size() && isSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min(value * 10 + (text[i] - '0'), kLimit);
    }
    if (negative) return int32_t(-value);
    return int32_t(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

}  // namespace kz::filters
