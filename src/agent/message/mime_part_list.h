#pragma once
// The leaf parts of a message in message order, found by walking its multipart
// containers.

#include <cstddef>
#include <string_view>
#include <vector>

#include "message/mime_part.h"

namespace kz {

// The walk stops once the list holds more than this many parts.
inline constexpr std::size_t kMaxListedParts = 200;
// Containers nested deeper than this are listed as leaves rather than opened.
inline constexpr int kMaxMultipartDepth = 50;
// Longer boundaries (the standard allows 70 characters) do not open a container.
inline constexpr std::size_t kMaxBoundaryLength = 256;

// The message's own part when it is not multipart; otherwise the leaf parts of its
// containers (preambles, epilogues and containers are not listed). `lineEnd` is the
// message's line end, "\r\n" or "\n". The parts refer into the given texts.
std::vector<MimePart> BuildPartList(std::string_view headerBlock, std::string_view body,
                                    std::string_view lineEnd);

}  // namespace kz
