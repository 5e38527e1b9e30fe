#include "message/mime_part_names.h"

#include <map>
#include <optional>

#include "common/ascii.h"
#include "message/encoded_words.h"
#include "message/header_params.h"
#include "message/mime_charset.h"
#include "message/mime_text.h"

namespace kz {
namespace {

constexpr std::size_t kNone = std::string_view::npos;
// Bounds that real names stay far below; they keep a hostile value of many overlapping
// pieces from costing time or memory beyond its own size.
constexpr unsigned kMaxNamePieces = 1000;
constexpr std::size_t kMaxJoinedName = 64 * 1024;

struct PieceStart {
    std::size_t valuePos;  // just after the "="
    bool extended;
};

// The number of a "name*N" parameter whose stem starts at `hit`, and where its value
// starts; none when the text there is not such a parameter.
std::optional<std::pair<unsigned, PieceStart>> pieceAt(std::string_view value, std::size_t hit) {
    static constexpr std::string_view kStem = "name*";
    std::size_t pos = hit + kStem.size();
    std::size_t digits = pos;
    unsigned n = 0;
    while (pos < value.size() && value[pos] >= '0' && value[pos] <= '9' && n < kMaxNamePieces) {
        n = n * 10 + unsigned(value[pos] - '0');
        ++pos;
    }
    bool leadingZero = pos - digits > 1 && value[digits] == '0';
    if (pos == digits || leadingZero || n >= kMaxNamePieces) return std::nullopt;
    bool extended = pos < value.size() && value[pos] == '*';
    if (extended) ++pos;
    pos = mime::skipAny(value, pos, " ");
    if (pos >= value.size() || value[pos] != '=') return std::nullopt;
    return std::pair{n, PieceStart{pos + 1, extended}};
}

// The pieces name*0, name*1, ... up to the first missing number, found in one pass so that
// a value with many pieces is not searched once per piece; the first occurrence of each
// number counts.
std::vector<ParameterValue> collectNamePieces(std::string_view value) {
    std::map<unsigned, PieceStart> starts;
    for (std::size_t hit = findIgnoreCase(value, "name*"); hit != kNone;
         hit = findIgnoreCase(value, "name*", hit + 1)) {
        if (auto piece = pieceAt(value, hit)) starts.try_emplace(piece->first, piece->second);
    }
    std::vector<ParameterValue> pieces;
    std::size_t joined = 0;
    for (unsigned n = 0; joined <= kMaxJoinedName; ++n) {
        auto it = starts.find(n);
        if (it == starts.end()) break;
        pieces.push_back({ReadParameterValue(value, it->second.valuePos), it->second.extended});
        joined += pieces.back().value.size();
    }
    return pieces;
}

std::string decodedIfExtended(ParameterValue value) {
    if (!value.extended) return std::move(value.value);
    return DecodeRfc2231Pieces({std::move(value)});
}

}  // namespace

std::string DecodeRfc2231Pieces(const std::vector<ParameterValue>& pieces) {
    std::optional<std::string> charset;
    std::string bytes;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        std::string_view piece = pieces[i].value;
        if (i == 0 && pieces[i].extended) {
            std::size_t first = piece.find('\'');
            std::size_t second = first == kNone ? kNone : piece.find('\'', first + 1);
            if (second != kNone) {
                charset = std::string(piece.substr(0, first));
                piece.remove_prefix(second + 1);
            }
        }
        bytes += piece.find('%') != kNone ? PercentDecode(piece) : std::string(piece);
    }
    if (!charset) return DecodeEncodedWords(bytes);
    if (auto converted = CharsetToUtf8(bytes, *charset)) return std::move(*converted);
    return LegacyBytesToUtf8(bytes);
}

void ApplyNameRule(std::string_view headerValue, MimePart& part) {
    if (std::optional<ParameterValue> file = ExtractParameterValue("filename", headerValue)) {
        part.FileName = decodedIfExtended(std::move(*file));
        if (part.DisplayName.empty()) part.DisplayName = part.FileName;
        return;
    }
    if (std::optional<ParameterValue> name = ExtractParameterValue("name", headerValue)) {
        bool extended = name->extended;
        part.PartName = decodedIfExtended(std::move(*name));
        if (part.DisplayName.empty()) {
            bool encoded = !extended && part.PartName.starts_with("=?");
            part.DisplayName = encoded ? DecodeEncodedWords(part.PartName) : part.PartName;
        }
    }
    if (!part.DisplayName.empty()) return;
    std::vector<ParameterValue> pieces = collectNamePieces(headerValue);
    if (pieces.empty()) return;
    part.PartName = DecodeRfc2231Pieces(pieces);
    part.DisplayName = part.PartName;
}

}  // namespace kz
