#pragma once
// A compiled regular expression: instructions for the backtracking matcher. Jumps are
// relative to the instruction that holds them, so that pieces of code can be copied and
// joined while the pattern is read.

#include <array>
#include <cstdint>
#include <vector>

namespace kz::script::regex {

// A set of byte values.
class ByteSet {
  public:
    void add(unsigned char c) { bits_[c >> 6] |= uint64_t{1} << (c & 63); }
    void addRange(unsigned first, unsigned last) {
        for (unsigned c = first; c <= last && c < 256; ++c) add(static_cast<unsigned char>(c));
    }
    void addAll(const ByteSet& other) {
        for (std::size_t i = 0; i < bits_.size(); ++i) bits_[i] |= other.bits_[i];
    }
    void invert() {
        for (uint64_t& word : bits_) word = ~word;
    }
    bool has(unsigned char c) const { return (bits_[c >> 6] >> (c & 63)) & 1; }
    bool intersects(const ByteSet& other) const {
        for (std::size_t i = 0; i < bits_.size(); ++i)
            if (bits_[i] & other.bits_[i]) return true;
        return false;
    }

  private:
    std::array<uint64_t, 4> bits_{};
};

enum class Op : uint8_t {
    kChar,          // a: the byte
    kSet,           // a: index of the set
    kSplit,         // go on at the next instruction; on failure at jump
    kSplitLazy,     // go on at jump; on failure at the next instruction
    kJump,          // jump
    kOpenGroup,     // a: group; notes where the group starts
    kCloseGroup,    // a: group; the group's text becomes the one since its start
    kMark,          // a: loop; notes where an iteration starts
    kLoopBack,      // a: loop; back to jump unless the iteration matched nothing
    kLineStart,     // ^
    kLineEnd,       // $
    kWordBoundary,  // \b
    kNotWordBoundary,
    kBackReference,     // a: group
    kRepeat,            // a: set, b: least, c: most; a greedy run of bytes of one set
    kRepeatLazy,        // the same, shortest first
    kRepeatPossessive,  // the greedy run, never giving bytes back
    kLookAhead,         // a: 1 when negative; jump: past its kLookEnd
    kLookEnd,
    kMatch,
};

constexpr uint32_t kUnbounded = UINT32_MAX;

struct Inst {
    Op op;
    int32_t jump = 0;
    uint32_t a = 0;
    uint32_t b = 0;
    uint32_t c = 0;
};

struct Program {
    std::vector<Inst> code;
    std::vector<ByteSet> sets;
    uint32_t groups = 0;  // capturing groups, not counting the whole match
    uint32_t loops = 0;   // loops whose body may match nothing
    bool ignoreCase = false;
    bool multiLine = false;
    // With firstBytesOnly, every match is not empty and begins with one of firstBytes.
    bool firstBytesOnly = false;
    ByteSet firstBytes;
    // The program begins with an unbounded run: when a match fails to start somewhere,
    // none starts within the bytes that run could take from there.
    bool leadingRun = false;
};

// Marks the runs that need keep no choice; fills in the hints for the search.
void Optimize(Program& program);

}  // namespace kz::script::regex
