#include "message/mime_part_list.h"

#include <algorithm>
#include <optional>
#include <string>

#include "message/mime_text.h"

namespace kz {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

struct Delimiter {
    std::size_t container;  // index of the container on the stack
    bool closing;
    std::size_t partFrom;  // where the next part starts, after the delimiter line
};

// The part a container is in: where it starts and, unless it is a container itself, the
// leaf read from its headers, whose content runs to the next delimiter.
struct OpenPart {
    std::size_t begin;
    std::size_t contentStart;
    std::optional<MimePart> leaf;
};

struct Container {
    std::string delimiter;  // "--" followed by the boundary
    int depth;
    std::optional<OpenPart> part;  // none in the preamble
};

bool opensContainer(const MimePart& part) {
    return IsMultipart(part) && !part.boundary.empty() &&
           part.boundary.size() <= kMaxBoundaryLength;
}

// One pass over the lines of a multipart body. A line that is a delimiter of several open
// containers belongs to the outermost: an outer delimiter ends every container inside it.
class Walk {
  public:
    Walk(std::string_view body, std::string_view lineEnd, const PartVisitor& visit)
        : body_(body), lineEnd_(lineEnd), visit_(visit) {}

    PartWalkEnd run(const MimePart& message) {
        open_.push_back({"--" + message.boundary, 1, std::nullopt});
        std::size_t pos = 0;
        while (pos < body_.size() && !open_.empty() && !stopped_) {
            std::optional<Delimiter> delimiter = delimiterAt(pos);
            pos = delimiter ? onDelimiter(*delimiter, pos) : nextLine(pos);
        }
        end_.openAtEnd = !open_.empty();
        // An unterminated container: its last part runs to the end of the text.
        while (!open_.empty() && !stopped_) {
            if (open_.back().part) hand(*open_.back().part, body_.size());
            open_.pop_back();
        }
        return end_;
    }

  private:
    std::size_t nextLine(std::size_t pos) const {
        std::size_t lineEnd = body_.find(lineEnd_, pos);
        return lineEnd == kNone ? body_.size() : lineEnd + lineEnd_.size();
    }

    // "--boundary" at the line start `pos`, then "--" (closing), or blanks and tabs up to
    // the line end; blanks up to the end of the text close as well, as no part can follow.
    std::optional<Delimiter> matches(std::size_t container, std::size_t pos) const {
        const std::string& delimiter = open_[container].delimiter;
        std::size_t after = pos + delimiter.size();
        if (after > body_.size()) return std::nullopt;
        if (after < body_.size()) {
            char next = body_[after];
            if (next != '-' && next != ' ' && next != '\t' && next != lineEnd_.front()) {
                return std::nullopt;
            }
        }
        if (body_[after - 1] != delimiter.back() ||
            body_.compare(pos, delimiter.size(), delimiter) != 0) {
            return std::nullopt;
        }
        if (body_.substr(after, 2) == "--") return Delimiter{container, true, kNone};
        std::size_t padEnd = skipAny(body_, after, " \t");
        if (padEnd == body_.size()) return Delimiter{container, true, kNone};
        if (body_.substr(padEnd, lineEnd_.size()) != lineEnd_) return std::nullopt;
        return Delimiter{container, false, padEnd + lineEnd_.size()};
    }

    std::optional<Delimiter> delimiterAt(std::size_t pos) const {
        if (body_.substr(pos, 2) != "--") return std::nullopt;
        for (std::size_t i = 0; i < open_.size(); ++i) {
            if (std::optional<Delimiter> found = matches(i, pos)) return found;
        }
        return std::nullopt;
    }

    // Hands out a leaf part that ends at `end` (before the line end that precedes the
    // delimiter).
    void hand(OpenPart& part, std::size_t end) {
        if (!part.leaf) return;
        end = std::max(end, part.begin);
        std::size_t contentStart = std::min(part.contentStart, end);
        part.leaf->content = body_.substr(contentStart, end - contentStart);
        if (!visit_(std::move(*part.leaf))) stopped_ = true;
        part.leaf.reset();
    }

    // Returns where the walk goes on.
    std::size_t onDelimiter(const Delimiter& delimiter, std::size_t pos) {
        const std::size_t end = pos - std::min(pos, lineEnd_.size());
        // The containers inside end with the part they were in; a part that would start
        // right at this line is none (its delimiter ended its container's body).
        while (open_.size() > delimiter.container + 1 && !stopped_) {
            Container& inner = open_.back();
            if (inner.part && inner.part->begin != pos) hand(*inner.part, end);
            open_.pop_back();
        }
        Container& box = open_[delimiter.container];
        if (box.part && !stopped_) hand(*box.part, end);
        if (delimiter.closing) {
            open_.pop_back();
            return nextLine(pos);
        }
        return startPart(delimiter.partFrom);
    }

    // Reads the headers of the innermost container's next part, which starts at `from`:
    // its lines up to the first empty line, unless a delimiter or the end of the text
    // comes first (then the part has no headers and all of it is content).
    std::size_t startPart(std::size_t from) {
        OpenPart part{from, from, std::nullopt};
        std::size_t line = from;
        std::optional<MimePart> headed;
        while (line < body_.size() && !delimiterAt(line)) {
            if (body_.compare(line, lineEnd_.size(), lineEnd_) == 0) {
                std::string_view headers = line == from
                                               ? std::string_view()
                                               : body_.substr(from, line - lineEnd_.size() - from);
                headed = ParsePart(headers, {});
                line += lineEnd_.size();
                part.contentStart = line;
                break;
            }
            line = nextLine(line);
        }
        Container& box = open_.back();
        if (!headed) {
            part.leaf = ParsePart({}, {});
            box.part = std::move(part);
            return line;
        }
        if (opensContainer(*headed)) {
            if (box.depth < kMaxMultipartDepth) {
                int depth = box.depth + 1;
                box.part = std::move(part);
                open_.push_back({"--" + headed->boundary, depth, std::nullopt});
                return line;
            }
            end_.depthBound = true;
        }
        part.leaf = std::move(headed);
        box.part = std::move(part);
        return line;
    }

    std::string_view body_;
    std::string_view lineEnd_;
    const PartVisitor& visit_;
    std::vector<Container> open_;
    PartWalkEnd end_;
    bool stopped_ = false;
};

}  // namespace

PartWalkEnd WalkParts(std::string_view headerBlock, std::string_view body, std::string_view lineEnd,
                      const PartVisitor& visit) {
    std::size_t headerStart = skipAny(headerBlock, 0, "\r\n ");
    MimePart message = ParsePart(headerBlock.substr(headerStart), body);
    if (!opensContainer(message)) {
        visit(std::move(message));
        return {};
    }
    return Walk(body, lineEnd, visit).run(message);
}

std::vector<MimePart> BuildPartList(std::string_view headerBlock, std::string_view body,
                                    std::string_view lineEnd) {
    std::vector<MimePart> parts;
    WalkParts(headerBlock, body, lineEnd, [&parts](MimePart&& part) {
        parts.push_back(std::move(part));
        return parts.size() <= kMaxListedParts;
    });
    return parts;
}

}  // namespace kz
