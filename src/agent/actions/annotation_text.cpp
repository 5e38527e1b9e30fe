#include "actions/annotation_text.h"

#include <vector>

#include "base/ascii.h"
#include "message/header_params.h"

namespace kz::actions {

namespace {

using Lines = std::vector<std::string_view>;

// The lines of the text, each with its line end.
Lines SplitLines(std::string_view text) {
    Lines lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        end = end == std::string_view::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

bool IsEmptyLine(std::string_view line) {
    return line == "\r\n" || line == "\n";
}

// An empty line, the annotation's lines, an empty line, with the message's line ends.
std::string AnnotationBlock(const std::optional<std::string>& text, std::string_view eol) {
    if (!text) return {};
    std::string block(eol);
    for (std::string_view line : SplitLines(*text)) {
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
        block += line;
        block += eol;
    }
    block += eol;
    return block;
}

struct Annotations {
    std::string top;
    std::string bottom;
};

bool IsBase64(std::string_view rawHeaders) {
    auto encoding = GetHeaderFieldValue(rawHeaders, "Content-Transfer-Encoding", true);
    return encoding && equalsIgnoreCase(*encoding, "base64");
}

bool IsAnnotatedPart(std::string_view rawHeaders) {
    auto type = GetHeaderFieldValue(rawHeaders, "Content-Type", true);
    if (!type) return false;
    return (equalsIgnoreCase(*type, "text/plain") || equalsIgnoreCase(*type, "text/html")) &&
           !IsBase64(rawHeaders);
}

// Copies the body lines of a multipart message, annotating its text parts. Everything
// after the closing boundary is kept as it is.
void AnnotateParts(const Lines& body, std::string_view boundary, const Annotations& notes,
                   std::string& out) {
    const std::string start = "--" + std::string(boundary);
    const std::string end = start + "--";
    std::size_t i = 0;
    while (i < body.size() && !body[i].starts_with(start)) out += body[i++];
    while (i < body.size()) {
        if (body[i].starts_with(end)) break;
        out += body[i++];  // the boundary that opens the part
        std::string headers;
        while (i < body.size() && !IsEmptyLine(body[i])) headers += body[i++];
        out += headers;
        if (i < body.size()) out += body[i++];
        bool annotated = IsAnnotatedPart(headers);
        if (annotated) out += notes.top;
        while (i < body.size() && !body[i].starts_with(start)) out += body[i++];
        if (annotated && i < body.size()) out += notes.bottom;
    }
    while (i < body.size()) out += body[i++];
}

}  // namespace

std::optional<std::string> AnnotateMessageText(std::string_view message,
                                               const std::optional<std::string>& top,
                                               const std::optional<std::string>& bottom) {
    if (!top && !bottom) return std::nullopt;
    Lines lines = SplitLines(message);
    std::size_t headerEnd = 0;
    std::string rawHeaders;
    for (; headerEnd < lines.size() && !IsEmptyLine(lines[headerEnd]); ++headerEnd) {
        // A message that was filtered already gets no annotation.
        if (startsWithIgnoreCase(lines[headerEnd], "X-KZFilter:")) return std::nullopt;
        rawHeaders += lines[headerEnd];
    }
    if (headerEnd == lines.size()) return std::nullopt;
    std::string_view eol = lines[headerEnd];
    Annotations notes{AnnotationBlock(top, eol), AnnotationBlock(bottom, eol)};

    std::string out = rawHeaders;
    out += "X-KZFilter: 1";
    out += eol;
    out += eol;
    Lines body(lines.begin() + std::ptrdiff_t(headerEnd) + 1, lines.end());
    auto type = GetHeaderFieldValue(rawHeaders, "Content-Type", false);
    if (type && startsWithIgnoreCase(*type, "multipart/")) {
        auto boundary = ExtractParameterValue("boundary", *type);
        if (!boundary || boundary->value.empty()) return std::nullopt;
        AnnotateParts(body, boundary->value, notes, out);
        return out;
    }
    bool annotated = !IsBase64(rawHeaders);
    if (annotated) out += notes.top;
    for (std::string_view line : body) out += line;
    if (annotated) out += notes.bottom;
    return out;
}

}  // namespace kz::actions
