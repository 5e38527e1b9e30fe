#include "message/mime_part.h"

#include <optional>

#include "base/ascii.h"
#include "message/header_params.h"
#include "message/mime_part_names.h"
#include "message/mime_text.h"

namespace kz {
namespace {

// The text up to the first ";", without surrounding blanks (and line breaks before it).
std::string leadingValue(std::string_view value) {
    std::size_t start = skipAny(value, 0, "\r\n ");
    std::string_view rest = value.substr(start);
    return std::string(trimBlanks(rest.substr(0, rest.find(';'))));
}

std::string parameter(std::string_view name, std::string_view headerValue) {
    std::optional<ParameterValue> found = ExtractParameterValue(name, headerValue);
    return found ? std::move(found->value) : std::string();
}

std::string contentIdOf(std::string value) {
    std::size_t open = value.find('<');
    if (open != std::string::npos) value.erase(open, 1);
    std::erase(value, '>');
    return std::string(trimBlanks(value));
}

}  // namespace

MimePart ParsePart(std::string_view rawHeaders, std::string_view content) {
    MimePart part;
    part.rawHeaders = rawHeaders;
    part.content = content;
    if (std::optional<std::string> type = GetHeaderFieldValue(rawHeaders, "Content-Type", false)) {
        part.contentType = leadingValue(*type);
        // A type without its subtype is not a valid type: read as the default.
        if (!part.contentType.empty() && part.contentType.find('/') == std::string::npos) {
            part.contentType = "text/plain";
        }
        part.boundary = BoundaryParameter(*type);
        part.charset = parameter("charset", *type);
        ApplyNameRule(*type, part);
    } else {
        part.contentType = "text/plain";
    }
    if (std::optional<std::string> disposition =
            GetHeaderFieldValue(rawHeaders, "Content-Disposition", false)) {
        part.dispositionType = leadingValue(*disposition);
        ApplyNameRule(*disposition, part);
    }
    if (std::optional<std::string> encoding =
            GetHeaderFieldValue(rawHeaders, "Content-Transfer-Encoding", true)) {
        part.transferEncoding = trimBlanks(*encoding);
    }
    if (std::optional<std::string> id = GetHeaderFieldValue(rawHeaders, "Content-ID", true)) {
        part.contentId = contentIdOf(std::move(*id));
    }
    return part;
}

bool IsMultipart(const MimePart& part) {
    return findIgnoreCase(part.contentType, "multipart/") != std::string_view::npos;
}

}  // namespace kz
