#pragma once
// The leaf parts of a message in message order, found by walking its multipart
// containers.

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

#include "message/mime_part.h"

namespace kz {

// The list stops once it holds more than this many parts.
inline constexpr std::size_t kMaxListedParts = 200;
// Containers nested deeper than this are handed out as leaves rather than opened.
inline constexpr int kMaxMultipartDepth = 50;
// Longer boundaries (the standard allows 70 characters) do not open a container.
inline constexpr std::size_t kMaxBoundaryLength = 256;

// What a walk could not look into.
struct PartWalkEnd {
    bool depthBound = false;  // a container at the depth bound was handed out unopened
    bool openAtEnd = false;   // the text ended inside a container
};

// Called with each leaf part in message order; returns false to stop the walk.
using PartVisitor = std::function<bool(MimePart&&)>;

// Hands out the message's own part when it is not multipart, otherwise the leaf parts of
// its containers (preambles, epilogues and containers are not parts). The walk is one
// pass over the lines of the body: delimiters are looked for at line starts only, for all
// open containers at once, the outermost first. `lineEnd` is the message's line end,
// "\r\n" or "\n". The parts refer into the given texts.
PartWalkEnd WalkParts(std::string_view headerBlock, std::string_view body, std::string_view lineEnd,
                      const PartVisitor& visit);

// The first kMaxListedParts + 1 parts of the walk.
std::vector<MimePart> BuildPartList(std::string_view headerBlock, std::string_view body,
                                    std::string_view lineEnd);

}  // namespace kz
