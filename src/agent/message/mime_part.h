#pragma once
// One MIME part: its raw header text and content, as views into the reader's message
// text, and the fields read from its headers.

#include <string>
#include <string_view>

namespace kz {

struct MimePart {
    std::string_view rawHeaders;  // header lines as they stand, without the blank line
    std::string_view content;     // the text after the blank line, still transfer-encoded
    std::string contentType;      // up to the first ";"; "text/plain" without Content-Type
    std::string charset;
    std::string boundary;
    std::string transferEncoding;  // empty reads as 7bit
    std::string dispositionType;
    std::string fileName;     // "filename" parameter (RFC 2231 values decoded to UTF-8)
    std::string partName;     // "name" parameter, or the joined name*0, name*1, ... pieces
    std::string displayName;  // the first name found
    std::string contentId;    // without "<" and ">"
};

// Reads the part's fields from its raw headers; the views must outlive the part.
MimePart ParsePart(std::string_view rawHeaders, std::string_view content);

bool IsMultipart(const MimePart& part);

}  // namespace kz
