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
constexpr std::size_t kMaxPieceDigits = 6;

// Every "name*N" parameter of the value, read in one pass so that a value with many
// pieces is not searched once per piece; the first occurrence of each number counts.
std::vector<ParameterValue> collectNamePieces(std::string_view value) {
    static constexpr std::string_view kStem = "name*";
    std::map<unsigned long, ParameterValue> found;
    for (std::size_t hit = findIgnoreCase(value, kStem); hit != kNone;
         hit = findIgnoreCase(value, kStem, hit + 1)) {
        std::size_t digits = hit + kStem.size();
        std::size_t pos = digits;
        while (pos < value.size() && pos - digits < kMaxPieceDigits && value[pos] >= '0' &&
               value[pos] <= '9') {
            ++pos;
        }
        std::string_view number = value.substr(digits, pos - digits);
        if (number.empty() || (number.size() > 1 && number[0] == '0')) continue;
        bool extended = pos < value.size() && value[pos] == '*';
        if (extended) ++pos;
        pos = mime::skipAny(value, pos, " ");
        if (pos >= value.size() || value[pos] != '=') continue;
        unsigned long n = std::stoul(std::string(number));
        if (!found.count(n))
            found[n] = ParameterValue{ReadParameterValue(value, pos + 1), extended};
    }
    std::vector<ParameterValue> pieces;
    for (unsigned long n = 0; found.count(n); ++n) pieces.push_back(std::move(found[n]));
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
