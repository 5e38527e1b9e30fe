#pragma once
// The agent's texts have the limits of the fixed buffers they were specified with.
// A buffer of N bytes holds at most N-1 characters. Two rules exist: a value longer
// than its field is cut to the field, or, where the rule says so, reads as empty.

#include <cstddef>
#include <string>
#include <string_view>

namespace kz {

// The limit of a text kept in a buffer of bufferSize bytes with its terminator.
struct TextLimit {
    std::size_t bufferSize;

    // The most characters the buffer holds (none for a buffer of 0 bytes).
    constexpr std::size_t maxLength() const { return bufferSize == 0 ? 0 : bufferSize - 1; }
    constexpr bool fits(std::string_view text) const { return text.size() < bufferSize; }
    // At most maxLength() characters of text.
    constexpr std::string_view cut(std::string_view text) const {
        return text.substr(0, maxLength());
    }
    // The text when it fits, else empty.
    constexpr std::string_view wholeOrEmpty(std::string_view text) const {
        return fits(text) ? text : std::string_view{};
    }
    // Assigns the cut text; returns true when nothing was cut.
    bool assign(std::string& out, std::string_view text) const {
        out.assign(cut(text));
        return out.size() == text.size();
    }
    // Appends as much of text as keeps out within maxLength() characters.
    void append(std::string& out, std::string_view text) const {
        if (out.size() < maxLength()) out.append(text.substr(0, maxLength() - out.size()));
    }
};

// For reading a field whole, whatever its length.
inline constexpr TextLimit kNoTextLimit{std::string_view::npos};

}  // namespace kz
