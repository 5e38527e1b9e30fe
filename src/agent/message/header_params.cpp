#include "message/header_params.h"

#include <map>

#include "base/ascii.h"
#include "message/mime_text.h"

namespace kz {
namespace {

constexpr std::size_t kNone = std::string_view::npos;
// Bounds that real values stay far below; they keep a hostile value of many overlapping
// pieces from costing time or memory beyond its own size.
constexpr unsigned kMaxPieces = 1000;
constexpr std::size_t kMaxJoinedValue = 64 * 1024;

struct PieceStart {
    std::size_t valuePos;  // just after the "="
    bool extended;
};

// The number of a piece whose stem ("name*") ends at `pos`, and where its value starts;
// none when the text there is not such a piece.
std::optional<std::pair<unsigned, PieceStart>> pieceAt(std::string_view value, std::size_t pos) {
    std::size_t digits = pos;
    unsigned n = 0;
    while (pos < value.size() && value[pos] >= '0' && value[pos] <= '9' && n < kMaxPieces) {
        n = n * 10 + unsigned(value[pos] - '0');
        ++pos;
    }
    bool leadingZero = pos - digits > 1 && value[digits] == '0';
    if (pos == digits || leadingZero || n >= kMaxPieces) return std::nullopt;
    bool extended = pos < value.size() && value[pos] == '*';
    if (extended) ++pos;
    pos = skipAny(value, pos, " ");
    if (pos >= value.size() || value[pos] != '=') return std::nullopt;
    return std::pair{n, PieceStart{pos + 1, extended}};
}

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
    pos = skipAny(rawHeaders, pos, " \t");
    Line line = lineAt(rawHeaders, pos);
    if (upToSemicolon) return std::string(line.text.substr(0, line.text.find(';')));
    std::string value(line.text);
    while (line.next < rawHeaders.size() && isBlankOrTab(rawHeaders[line.next])) {
        line = lineAt(rawHeaders, skipAny(rawHeaders, line.next, " \t"));
        value += line.text;
    }
    return value;
}

std::string ReadParameterValue(std::string_view headerValue, std::size_t pos) {
    pos = skipAny(headerValue, pos, " ");
    if (pos < headerValue.size() && headerValue[pos] == '"') {
        std::size_t start = skipAny(headerValue, pos + 1, "\r\n ");
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
        pos = skipAny(headerValue, pos, " ");
        if (pos < headerValue.size() && headerValue[pos] == '=') {
            return ParameterValue{ReadParameterValue(headerValue, pos + 1), extended};
        }
    }
    return std::nullopt;
}

std::vector<ParameterValue> CollectParameterPieces(std::string_view headerValue,
                                                   std::string_view name) {
    const std::string stem = std::string(name) + "*";
    // One pass, so that a value with many pieces is not searched once per piece; the first
    // occurrence of each number counts.
    std::map<unsigned, PieceStart> starts;
    for (std::size_t hit = findIgnoreCase(headerValue, stem); hit != kNone;
         hit = findIgnoreCase(headerValue, stem, hit + 1)) {
        if (auto piece = pieceAt(headerValue, hit + stem.size())) {
            starts.try_emplace(piece->first, piece->second);
        }
    }
    std::vector<ParameterValue> pieces;
    std::size_t joined = 0;
    for (unsigned n = 0; joined <= kMaxJoinedValue; ++n) {
        auto it = starts.find(n);
        if (it == starts.end()) break;
        pieces.push_back(
            {ReadParameterValue(headerValue, it->second.valuePos), it->second.extended});
        joined += pieces.back().value.size();
    }
    return pieces;
}

Rfc2231Value JoinRfc2231Pieces(const std::vector<ParameterValue>& pieces) {
    Rfc2231Value joined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        std::string_view piece = pieces[i].value;
        if (i == 0 && pieces[i].extended) {
            std::size_t first = piece.find('\'');
            std::size_t second = first == kNone ? kNone : piece.find('\'', first + 1);
            if (second != kNone) {
                joined.charset = std::string(piece.substr(0, first));
                piece.remove_prefix(second + 1);
            }
        }
        joined.bytes += piece.find('%') != kNone ? PercentDecode(piece) : std::string(piece);
    }
    return joined;
}

std::string BoundaryParameter(std::string_view contentType) {
    if (std::optional<ParameterValue> whole = ExtractParameterValue("boundary", contentType)) {
        if (!whole->extended) return std::move(whole->value);
        return JoinRfc2231Pieces({std::move(*whole)}).bytes;
    }
    return JoinRfc2231Pieces(CollectParameterPieces(contentType, "boundary")).bytes;
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
        } else if (i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
                   hexValue(text[i + 2]) >= 0) {
            out += char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
            continue;
        }
        out += text[i];
    }
    return out;
}

}  // namespace kz
