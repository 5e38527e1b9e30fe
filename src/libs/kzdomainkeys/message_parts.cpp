#include "message_parts.h"

#include "provider_support/text_split.h"

namespace kz::dkim {

namespace {

// The next line without its end (LF or CR LF); false at the end of the text.
bool nextLine(std::string_view& text, std::string_view& line) {
    if (text.empty()) return false;
    std::size_t end = text.find('\n');
    std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    if (end > 0 && text[end - 1] == '\r') --end;
    line = text.substr(0, end);
    text.remove_prefix(next);
    return true;
}

}  // namespace

MessageParts SplitMessage(std::string_view text) {
    MessageParts parts;
    std::string_view line;
    while (nextLine(text, line)) {
        if (line.empty()) break;
        const bool continuation = line.front() == ' ' || line.front() == '\t';
        if (continuation && !parts.headers.empty())
            parts.headers.back().append("\r\n").append(line);
        else
            parts.headers.emplace_back(line);
    }
    parts.body.reserve(text.size() + text.size() / 32);
    while (nextLine(text, line)) parts.body.append(line).append("\r\n");
    return parts;
}

bool IsEmptySignatureHeader(std::string_view field) {
    const std::size_t colon = field.find(':');
    if (colon == std::string_view::npos) return false;
    return providers::ToLowerAscii(providers::Trim(field.substr(0, colon))) == "dkim-signature" &&
           providers::Trim(field.substr(colon + 1)).empty();
}

}  // namespace kz::dkim
