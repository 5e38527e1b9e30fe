#include "message/mime_line_params.h"

#include "base/ascii.h"
#include "base/format.h"
#include "base/text_limit.h"
#include "log/trace.h"
#include "message/mime_text.h"

namespace kz {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

std::size_t findOrEnd(std::string_view text, std::string_view set, std::size_t from) {
    std::size_t pos = text.find_first_of(set, from);
    return pos == kNone ? text.size() : pos;
}

bool reportUnclosedQuote() {
    log::Trace("No closing quotation for attachment\n");
    return false;
}

}  // namespace

bool ExtractLineParameter(std::string_view line, std::string_view key, std::string& output,
                          TextLimit outputLimit) {
    std::size_t hit = findIgnoreCase(line, key);
    if (hit == kNone || hit + key.size() >= line.size()) return false;
    std::size_t start = skipAny(line, hit + key.size(), " \t");
    std::size_t end;
    if (start < line.size() && line[start] == '"') {
        ++start;
        end = findOrEnd(line, std::string_view("\0\r\n;\"", 5), start);
    } else {
        end = findOrEnd(line, std::string_view("\0\r\n;", 4), start);
    }
    outputLimit.assign(output, line.substr(start, end - start));
    return true;
}

bool ExtractAttachmentParameter(std::string_view line, std::string_view name, std::string& output,
                                TextLimit outputLimit) {
    output.clear();
    std::string needle(name);
    needle += '=';
    std::size_t hit = findIgnoreCase(line, needle);
    if (hit == kNone) return false;
    std::size_t start = hit + needle.size();
    std::size_t end;
    if (start < line.size() && line[start] == '"') {
        ++start;
        end = line.find('"', start);
        if (end == kNone) return reportUnclosedQuote();
    } else {
        end = findOrEnd(line, std::string_view("; \t\r\n\0", 6), start);
    }
    if (!outputLimit.fits(line.substr(start, end - start))) return reportUnclosedQuote();
    output.assign(line.substr(start, end - start));
    return true;
}

}  // namespace kz
