#pragma once
// The name rule: a part's file name and name from its Content-Type and
// Content-Disposition values, RFC 2231 continuations included.

#include <string>
#include <string_view>
#include <vector>

#include "message/header_params.h"
#include "message/mime_part.h"

namespace kz {

// Applies one header value to FileName, PartName and DisplayName: the "filename"
// parameter, else the "name" parameter, and while DisplayName is still empty the joined
// name*0, name*1, ... pieces.
void ApplyNameRule(std::string_view headerValue, MimePart& part);

// An RFC 2231 value made of its pieces in order: the first piece's charset'language'
// prefix (extended form) is removed, pieces with "%" are percent-decoded, and the joined
// bytes are converted from the charset to UTF-8 (encoded words decoded when there is no
// charset).
std::string DecodeRfc2231Pieces(const std::vector<ParameterValue>& pieces);

}  // namespace kz
