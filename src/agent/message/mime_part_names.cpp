#include "message/mime_part_names.h"

#include <optional>

#include "base/ascii.h"
#include "message/encoded_words.h"
#include "message/header_params.h"
#include "message/mime_charset.h"
#include "message/mime_text.h"

namespace kz {
namespace {

std::string decodedIfExtended(ParameterValue value) {
    if (!value.extended) return std::move(value.value);
    return DecodeRfc2231Pieces({std::move(value)});
}

}  // namespace

std::string DecodeRfc2231Pieces(const std::vector<ParameterValue>& pieces) {
    Rfc2231Value joined = JoinRfc2231Pieces(pieces);
    if (!joined.charset) return DecodeEncodedWords(joined.bytes);
    if (auto converted = CharsetToUtf8(joined.bytes, *joined.charset)) return std::move(*converted);
    return LegacyBytesToUtf8(joined.bytes);
}

void ApplyNameRule(std::string_view headerValue, MimePart& part) {
    if (std::optional<ParameterValue> file = ExtractParameterValue("filename", headerValue)) {
        part.fileName = decodedIfExtended(std::move(*file));
        if (part.displayName.empty()) part.displayName = part.fileName;
        return;
    }
    if (std::optional<ParameterValue> name = ExtractParameterValue("name", headerValue)) {
        bool extended = name->extended;
        part.partName = decodedIfExtended(std::move(*name));
        if (part.displayName.empty()) {
            bool encoded = !extended && part.partName.starts_with("=?");
            part.displayName = encoded ? DecodeEncodedWords(part.partName) : part.partName;
        }
    }
    if (!part.displayName.empty()) return;
    std::vector<ParameterValue> pieces = CollectParameterPieces(headerValue, "name");
    if (pieces.empty()) return;
    part.partName = DecodeRfc2231Pieces(pieces);
    part.displayName = part.partName;
}

}  // namespace kz
