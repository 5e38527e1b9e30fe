#include "base/delimited_field.h"

#include "base/ascii.h"

namespace kz {

namespace {

constexpr int kMaxFieldCount = 1000000;

// Next delimiter occurrence at or after `from` that is not escaped.
std::size_t nextDelimiter(std::string_view line, std::string_view delimiter, std::size_t from,
                          char escape) {
    while (true) {
        std::size_t at = findIgnoreCase(line, delimiter, from);
        if (at == std::string_view::npos) return at;
        if (escape == '\0' || at == 0 || line[at - 1] != escape) return at;
        from = at + delimiter.size();
    }
}

}  // namespace

bool GetDelimitedField(std::string_view line, std::string_view delimiter, int fieldNumber,
                       std::string& output, TextLimit outputLimit, char escape) {
    if (fieldNumber < 1) return false;
    std::size_t start = 0;
    if (!delimiter.empty()) {
        for (int field = 1; field < fieldNumber; ++field) {
            std::size_t at = nextDelimiter(line, delimiter, start, escape);
            if (at == std::string_view::npos) return false;
            start = at + delimiter.size();
        }
    } else if (fieldNumber > 1) {
        return false;
    }
    std::size_t end =
        delimiter.empty() ? std::string_view::npos : nextDelimiter(line, delimiter, start, escape);
    std::string_view field =
        line.substr(start, end == std::string_view::npos ? line.npos : end - start);
    if (!outputLimit.fits(field)) {
        output.clear();
        return false;
    }
    output.assign(field);
    return true;
}

int CountDelimitedFields(std::string_view line, std::string_view delimiter) {
    if (line.empty()) return 0;
    int count = 1;
    if (delimiter.empty()) return count;
    std::size_t from = 1;
    while (count < kMaxFieldCount) {
        std::size_t at = findIgnoreCase(line, delimiter, from);
        if (at == std::string_view::npos) break;
        ++count;
        from = at + delimiter.size();
    }
    return count;
}

}  // namespace kz
