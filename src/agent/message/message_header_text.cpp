#include "message/message_header_text.h"

#include <utility>

#include "base/ascii.h"
#include "base/line_breaks.h"
#include "base/text_limit.h"

namespace kz {

namespace {

constexpr std::string_view kCrLf = "\r\n";

bool isBlankLine(std::string_view line) {
    return !line.empty() && (line.front() == '\r' || line.front() == '\n');
}

}  // namespace

std::string FormatHeaderLine(std::string_view name, std::string_view value) {
    std::string text = BlankLineBreaks(name);
    text.append(": ").append(BlankLineBreaks(value));
    std::string line(TextLimit{kHeaderLineLimit.bufferSize - kCrLf.size()}.cut(text));
    return line.append(kCrLf);
}

void SetHeaderInPlace(std::string& message, std::string_view name, std::string_view headerLine,
                      HeaderMode mode) {
    if (mode == HeaderMode::InsertAtTop) {
        message.insert(0, headerLine);
        return;
    }
    std::string prefix = BlankLineBreaks(name).append(": ");
    // Usually the header is new: it goes in before the blank line, and nothing else moves.
    std::size_t pos = 0;
    while (pos < message.size()) {
        std::size_t end = message.find('\n', pos);
        end = end == std::string::npos ? message.size() : end + 1;
        std::string_view line = std::string_view(message).substr(pos, end - pos);
        if (startsWithIgnoreCase(line, prefix)) break;
        if (isBlankLine(line)) {
            message.insert(pos, headerLine);
            return;
        }
        pos = end;
    }
    // From the first line it replaces, the header block is built anew; the body after it
    // stays where it is.
    std::string head = message.substr(0, pos);
    bool replaced = false;
    while (pos < message.size()) {
        std::size_t end = message.find('\n', pos);
        end = end == std::string::npos ? message.size() : end + 1;
        std::string_view line = std::string_view(message).substr(pos, end - pos);
        if (startsWithIgnoreCase(line, prefix)) {
            head.append(headerLine);
            replaced = true;
        } else if (isBlankLine(line)) {
            if (!replaced) head.append(headerLine);
            message.replace(0, pos, head);
            return;
        } else {
            head.append(line);
        }
        pos = end;
    }
    // Headers only: a last line without its line end must not run into the new one.
    if (!replaced) {
        if (!head.empty() && head.back() != '\n') head.append(kCrLf);
        head.append(headerLine).append(kCrLf);
    }
    message = std::move(head);
}

std::string SetHeaderInText(std::string_view message, std::string_view name,
                            std::string_view headerLine, HeaderMode mode) {
    std::string out;
    out.reserve(message.size() + headerLine.size() + kCrLf.size());
    out.append(message);
    SetHeaderInPlace(out, name, headerLine, mode);
    return out;
}

}  // namespace kz
