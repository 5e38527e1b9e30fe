#include "message/message_header_text.h"

#include "base/ascii.h"
#include "base/line_breaks.h"
#include "base/text_limit.h"

namespace kz {

namespace {

constexpr std::string_view kCrLf = "\r\n";

bool isBlankLine(std::string_view line) {
    return !line.empty() && (line.front() == '\r' || line.front() == '\n');
}

std::string replaceOrAdd(std::string_view message, std::string_view prefix,
                         std::string_view headerLine) {
    std::string out;
    out.reserve(message.size() + headerLine.size() + kCrLf.size());
    bool replaced = false;
    std::size_t pos = 0;
    while (pos < message.size()) {
        std::size_t end = message.find('\n', pos);
        end = end == std::string_view::npos ? message.size() : end + 1;
        std::string_view line = message.substr(pos, end - pos);
        if (startsWithIgnoreCase(line, prefix)) {
            out.append(headerLine);
            replaced = true;
        } else if (isBlankLine(line)) {
            if (!replaced) out.append(headerLine);
            out.append(message.substr(pos));
            return out;
        } else {
            out.append(line);
        }
        pos = end;
    }
    if (replaced) return out;
    // Headers only: a last line without its line end must not run into the new one.
    if (!out.empty() && out.back() != '\n') out.append(kCrLf);
    return out.append(headerLine).append(kCrLf);
}

}  // namespace

std::string FormatHeaderLine(std::string_view name, std::string_view value) {
    std::string text = BlankLineBreaks(name);
    text.append(": ").append(BlankLineBreaks(value));
    std::string line(TextLimit{kHeaderLineLimit.bufferSize - kCrLf.size()}.cut(text));
    return line.append(kCrLf);
}

std::string SetHeaderInText(std::string_view message, std::string_view name,
                            std::string_view headerLine, HeaderMode mode) {
    if (mode == HeaderMode::InsertAtTop) return std::string(headerLine).append(message);
    std::string prefix = BlankLineBreaks(name).append(": ");
    return replaceOrAdd(message, prefix, headerLine);
}

}  // namespace kz
