#pragma once
// The agent's texts have the limits of the fixed buffers they were specified with.
// A buffer of N bytes holds at most N-1 characters. Two rules exist: a value longer
// than its field is cut to the field, or, where the rule says so, reads as empty.

#include <cstddef>
#include <string>
#include <string_view>

namespace kz {

// At most bufferSize-1 characters of text (empty for a buffer size of 0).
inline std::string_view cutToBuffer(std::string_view text, std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    return text.substr(0, bufferSize - 1);
}

// The text when it fits a buffer of bufferSize bytes with its terminator, else empty.
inline std::string_view emptyUnlessFits(std::string_view text, std::size_t bufferSize) {
    return text.size() < bufferSize ? text : std::string_view{};
}

// Assigns the cut text; returns true when nothing was cut.
inline bool assignCut(std::string& out, std::string_view text, std::size_t bufferSize) {
    out.assign(cutToBuffer(text, bufferSize));
    return out.size() == text.size();
}

// Appends as much of text as keeps out within bufferSize-1 characters.
inline void appendCut(std::string& out, std::string_view text, std::size_t bufferSize) {
    if (bufferSize == 0 || out.size() >= bufferSize - 1) return;
    out.append(text.substr(0, bufferSize - 1 - out.size()));
}

}  // namespace kz
