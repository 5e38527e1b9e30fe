#include "message/header_params.h"

#include "common/ascii.h"
#include "message/mime_text.h"

namespace kz {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

// The line at `pos` without its line end, and the position of the next line.
struct Line {
    std::string_view text;
    std::size_t next;
};

Line lineAt(std::string_view text, std::size_t pos) {
    std::size_t lf = text.find('\n', pos);
    std::size_t end = lf == kNone ? text.size() : lf;
    std::size_t next = lf == kNone ? text.size() : lf + 1;
    if (end > pos && text[end - 1] == '\r') --end;
    return {text.substr(pos, end - pos), next};
}

std::size_t findField(std::string_view raw, std::string_view field) {
    for (std::size_t pos = 0; pos < raw.size();) {
        if (startsWithIgnoreCase(raw.substr(pos), field) && pos + field.size() < raw.size() &&
            raw[pos + field.size()] == ':') {
            return pos + field.size() + 1;
        }
        std::size_t lf = raw.find('\n', pos);
        if (lf == kNone) break;
        pos = lf + 1;
    }
    return kNone;
}

// Decodes "%#" followed by decimal digits at `pos`; returns the position after it, or
// kNone when no digits follow or the code is not a byte value.
std::size_t decimalEscape(std::string_view text, std::size_t pos, std::string& out) {
    std::size_t digits = pos + 2;
    unsigned code = 0;
    std::size_t end = digits;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9' && code <= 255) {
        code = code * 10 + unsigned(text[end] - '0');
        ++end;
    }
    if (end == digits || code > 255) return kNone;
    out += char(code);
    if (end < text.size() && text[end] == ';') ++end;
    return end;
}

}  // namespace

std::optional<std::string> GetHeaderFieldValue(std::string_view rawHeaders, std::string_view field,
                                               bool upToSemicolon) {
    std::size_t pos = findField(rawHeaders, field);
    if (pos == kNone) return std::nullopt;
    pos = mime::skipAny(rawHeaders, pos, " \t");
    Line line = lineAt(rawHeaders, pos);
    if (upToSemicolon) return std::string(line.text.substr(0, line.text.find(';')));
    std::string value(line.text);
    while (line.next < rawHeaders.size() && mime::isBlankOrTab(rawHeaders[line.next])) {
        line = lineAt(rawHeaders, mime::skipAny(rawHeaders, line.next, " \t"));
        value += line.text;
    }
    return value;
}

std::string ReadParameterValue(std::string_view headerValue, std::size_t pos) {
    pos = mime::skipAny(headerValue, pos, " ");
    if (pos < headerValue.size() && headerValue[pos] == '"') {
        std::size_t start = mime::skipAny(headerValue, pos + 1, "\r\n ");
        std::size_t end = headerValue.find('"', start);
        if (end == kNone) end = headerValue.size();
        return std::string(headerValue.substr(start, end - start));
    }
    std::size_t end = headerValue.find_first_of("; \t\r\n", pos);
    if (end == kNone) end = headerValue.size();
    return std::string(headerValue.substr(pos, end - pos));
}

std::optional<ParameterValue> ExtractParameterValue(std::string_view name,
                                                    std::string_view headerValue) {
    if (name.empty()) return std::nullopt;
    for (std::size_t hit = findIgnoreCase(headerValue, name); hit != kNone;
         hit = findIgnoreCase(headerValue, name, hit + 1)) {
        std::size_t pos = hit + name.size();
        bool extended = pos < headerValue.size() && headerValue[pos] == '*';
        if (extended) ++pos;
        pos = mime::skipAny(headerValue, pos, " ");
        if (pos < headerValue.size() && headerValue[pos] == '=') {
            return ParameterValue{ReadParameterValue(headerValue, pos + 1), extended};
        }
    }
    return std::nullopt;
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        if (text[i + 1] == '#') {
            std::size_t end = decimalEscape(text, i, out);
            if (end != kNone) {
                i = end - 1;
                continue;
            }
        } else if (i + 2 < text.size() && mime::hexValue(text[i + 1]) >= 0 &&
                   mime::hexValue(text[i + 2]) >= 0) {
            out += char(mime::hexValue(text[i + 1]) * 16 + mime::hexValue(text[i + 2]));
            i += 2;
            continue;
        }
        out += text[i];
    }
    return out;
}

}  // namespace kz
