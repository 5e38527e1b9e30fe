#pragma once
// Bounded line reads for the line-by-line scan: at most 2,047 bytes a read, line end
// kept, so a longer line arrives in pieces. Each piece says whether it starts a physical
// line, since a piece that begins with the rest of a line end is not a blank line.

#include <cstddef>
#include <istream>
#include <string>

namespace kz {

struct ScanLine {
    std::string text;
    bool startsLine = true;  // false for the second and later pieces of one line
};

class BoundedLineReader {
  public:
    static constexpr std::size_t kReadLimit = 2047;

    explicit BoundedLineReader(std::istream& in) : in_(in) {}

    // The next piece; false at the end of the file.
    bool next(ScanLine& line);

  private:
    std::istream& in_;
    bool atLineStart_ = true;
};

}  // namespace kz
