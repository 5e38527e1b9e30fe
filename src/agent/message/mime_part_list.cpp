#include "message/mime_part_list.h"

#include <algorithm>
#include <optional>
#include <string>

#include "message/mime_text.h"

namespace kz {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

struct Delimiter {
    std::size_t start;     // position of "--boundary"
    std::size_t partFrom;  // where the next part starts (after the delimiter line)
    bool closing;
};

// One open container: its body and how far its parts have been read.
struct Container {
    std::string_view body;
    std::string delimiter;  // "--" followed by the boundary
    int depth;
    std::size_t next = 0;  // where the next part starts
    bool started = false;
    bool finished = false;
};

bool opensContainer(const MimePart& part) {
    return IsMultipart(part) && !part.Boundary.empty() &&
           part.Boundary.size() <= kMaxBoundaryLength;
}

// The next delimiter line at or after `from`: "--boundary" at the start of the body or of
// a line, then "--" (closing) or only blanks up to the line end.
std::optional<Delimiter> findDelimiter(const Container& box, std::size_t from,
                                       std::string_view lineEnd) {
    std::string_view body = box.body;
    for (std::size_t pos = body.find(box.delimiter, from); pos != kNone;
         pos = body.find(box.delimiter, pos + 1)) {
        bool lineStart = pos == 0 || (pos >= lineEnd.size() &&
                                      body.substr(pos - lineEnd.size(), lineEnd.size()) == lineEnd);
        if (!lineStart) continue;
        std::size_t after = pos + box.delimiter.size();
        if (body.substr(after, 2) == "--") return Delimiter{pos, body.size(), true};
        std::size_t padEnd = mime::skipAny(body, after, " \t");
        // Nothing after the delimiter: no part can follow, so it ends the container.
        if (padEnd == body.size()) return Delimiter{pos, body.size(), true};
        if (body.substr(padEnd, lineEnd.size()) == lineEnd) {
            return Delimiter{pos, padEnd + lineEnd.size(), false};
        }
    }
    return std::nullopt;
}

// Splits a part's text at its blank line. The search may look at the line end that
// precedes the next delimiter (up to windowEnd), so that headers followed directly by the
// delimiter still count as headers.
MimePart parsePiece(std::string_view body, std::size_t begin, std::size_t end,
                    std::size_t windowEnd, std::string_view lineEnd) {
    std::string_view text = body.substr(begin, end - begin);
    if (text.starts_with(lineEnd)) return ParsePart({}, text.substr(lineEnd.size()));
    std::string separator = std::string(lineEnd) + std::string(lineEnd);
    std::size_t blank = body.substr(0, windowEnd).find(separator, begin);
    if (blank == kNone) return ParsePart({}, text);
    std::size_t contentStart = std::min(blank + separator.size(), end);
    return ParsePart(body.substr(begin, blank - begin),
                     body.substr(contentStart, end - contentStart));
}

// The next part of the container, or none when it has no more.
std::optional<MimePart> nextPart(Container& box, std::string_view lineEnd) {
    if (box.finished) return std::nullopt;
    if (!box.started) {
        box.started = true;
        std::optional<Delimiter> first = findDelimiter(box, 0, lineEnd);
        if (!first || first->closing) {
            box.finished = true;
            return std::nullopt;
        }
        box.next = first->partFrom;
    }
    std::size_t begin = box.next;
    std::optional<Delimiter> following = findDelimiter(box, begin, lineEnd);
    if (!following) {
        // An unterminated container: the last part runs to the end of the body.
        box.finished = true;
        return parsePiece(box.body, begin, box.body.size(), box.body.size(), lineEnd);
    }
    std::size_t end =
        std::max(begin, following->start - std::min(following->start, lineEnd.size()));
    box.finished = following->closing;
    box.next = following->partFrom;
    return parsePiece(box.body, begin, end, std::max(end, following->start), lineEnd);
}

}  // namespace

std::vector<MimePart> BuildPartList(std::string_view headerBlock, std::string_view body,
                                    std::string_view lineEnd) {
    std::size_t headerStart = mime::skipAny(headerBlock, 0, "\r\n ");
    MimePart message = ParsePart(headerBlock.substr(headerStart), body);
    std::vector<MimePart> parts;
    if (!opensContainer(message)) {
        parts.push_back(std::move(message));
        return parts;
    }
    // An explicit stack instead of recursion keeps hostile nesting off the call stack.
    std::vector<Container> open;
    open.push_back({message.Content, "--" + message.Boundary, 1});
    while (!open.empty() && parts.size() <= kMaxListedParts) {
        std::optional<MimePart> part = nextPart(open.back(), lineEnd);
        if (!part) {
            open.pop_back();
            continue;
        }
        int depth = open.back().depth;
        if (opensContainer(*part) && depth < kMaxMultipartDepth) {
            std::string delimiter = "--" + part->Boundary;
            open.push_back({part->Content, std::move(delimiter), depth + 1});
        } else {
            parts.push_back(std::move(*part));
        }
    }
    return parts;
}

}  // namespace kz
