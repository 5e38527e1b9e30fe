// The backtracking matcher. Choices not taken and register values to put back are kept
// on a stack of its own, so deep patterns cost heap rather than the thread's stack; every
// instruction and every undo is a step charged to the caller's budget.

#include <cstdint>
#include <string_view>
#include <vector>

#include "script/regex.h"

namespace kz::script::regex {

namespace {

// Entries of the backtracking stack, 16 bytes each: at most 16 MiB.
constexpr std::size_t kMaxStack = std::size_t{1} << 20;
constexpr uint32_t kUnset = UINT32_MAX;

struct OutOfSteps {};

enum class Undo : uint32_t {
    kBranch,   // resume at pc, pos
    kRestore,  // register pc gets back the value pos
    kGreedy,   // a greedy run at pc may give back bytes down to extra; it now ends at pos
    kLazy,     // a lazy run at pc ending at pos with extra bytes may take one more
    kLook,     // the look-ahead at pc began at pos
};

struct Entry {
    Undo kind;
    uint32_t pc;
    uint32_t pos;
    uint32_t extra;
};

bool IsWord(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

unsigned char Fold(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool IsLineBreak(unsigned char c) {
    return c == '\n' || c == '\r';
}

class Machine {
  public:
    Machine(const Program& program, std::string_view text, std::size_t& steps)
        : program_(program),
          text_(text),
          length_(static_cast<uint32_t>(text.size())),
          steps_(steps),
          openBase_(2 * (program.groups + 1)),
          loopBase_(openBase_ + program.groups + 1) {}

    bool run(uint32_t start, std::vector<std::size_t>& captures) {
        registers_.assign(loopBase_ + program_.loops, kUnset);
        stack_.clear();
        charge(1 + registers_.size() / 16);
        if (!execute(0, start)) return false;
        captures.assign(openBase_, kNotSet);
        captures[0] = start;
        captures[1] = end_;
        for (uint32_t g = 1; g <= program_.groups; ++g) {
            if (registers_[2 * g] == kUnset) continue;
            captures[2 * g] = registers_[2 * g];
            captures[2 * g + 1] = registers_[2 * g + 1];
        }
        return true;
    }

  private:
    void charge(std::size_t n) {
        if (steps_ < n) throw OutOfSteps{};
        steps_ -= n;
    }

    void push(Undo kind, uint32_t pc, uint32_t pos, uint32_t extra = 0) {
        if (stack_.size() >= kMaxStack) throw OutOfSteps{};
        stack_.push_back(Entry{kind, pc, pos, extra});
    }

    void set(uint32_t reg, uint32_t value) {
        push(Undo::kRestore, reg, registers_[reg]);
        registers_[reg] = value;
    }

    bool inSet(uint32_t set, uint32_t pos) const {
        return pos < length_ && program_.sets[set].has(static_cast<unsigned char>(text_[pos]));
    }

    bool wordBefore(uint32_t pos) const {
        return pos > 0 && IsWord(static_cast<unsigned char>(text_[pos - 1]));
    }
    bool wordAt(uint32_t pos) const {
        return pos < length_ && IsWord(static_cast<unsigned char>(text_[pos]));
    }

    bool backReference(uint32_t group, uint32_t& pos) {
        uint32_t start = registers_[2 * group];
        if (start == kUnset) return true;  // an unset group matches the empty text
        uint32_t n = registers_[2 * group + 1] - start;
        if (n > length_ - pos) return false;
        charge(n);
        for (uint32_t k = 0; k < n; ++k) {
            auto a = static_cast<unsigned char>(text_[start + k]);
            auto b = static_cast<unsigned char>(text_[pos + k]);
            if (a != b && !(program_.ignoreCase && Fold(a) == Fold(b))) return false;
        }
        pos += n;
        return true;
    }

    // The innermost look-ahead's entry; its body has just matched.
    std::size_t innermostLook() {
        std::size_t i = stack_.size();
        while (stack_[--i].kind != Undo::kLook) charge(1);
        return i;
    }

    // A positive look-ahead is atomic: drop the choices its body left, keep the undos.
    void commitLook(std::size_t at) {
        std::size_t out = at;
        for (std::size_t i = at + 1; i < stack_.size(); ++i)
            if (stack_[i].kind == Undo::kRestore) stack_[out++] = stack_[i];
        charge(1 + (stack_.size() - at) / 4);
        stack_.resize(out);
    }

    // Undoes everything down to and including the entry at `at`.
    void unwindTo(std::size_t at) {
        while (stack_.size() > at) {
            charge(1);
            const Entry& e = stack_.back();
            if (e.kind == Undo::kRestore) registers_[e.pc] = e.pos;
            stack_.pop_back();
        }
    }

    bool execute(uint32_t pc, uint32_t pos) {
        const std::vector<Inst>& code = program_.code;
        for (;;) {
            charge(1);
            const Inst& in = code[pc];
            bool ok = true;
            switch (in.op) {
                case Op::kChar:
                    ok = pos < length_ && static_cast<unsigned char>(text_[pos]) == in.a;
                    ++pos, ++pc;
                    break;
                case Op::kSet:
                    ok = inSet(in.a, pos);
                    ++pos, ++pc;
                    break;
                case Op::kSplit:
                    push(Undo::kBranch, pc + uint32_t(in.jump), pos);
                    ++pc;
                    break;
                case Op::kSplitLazy:
                    push(Undo::kBranch, pc + 1, pos);
                    pc += uint32_t(in.jump);
                    break;
                case Op::kJump:
                    pc += uint32_t(in.jump);
                    break;
                case Op::kOpenGroup:
                    set(openBase_ + in.a, pos);
                    ++pc;
                    break;
                case Op::kCloseGroup:
                    set(2 * in.a, registers_[openBase_ + in.a]);
                    set(2 * in.a + 1, pos);
                    ++pc;
                    break;
                case Op::kMark:
                    set(loopBase_ + in.a, pos);
                    ++pc;
                    break;
                case Op::kLoopBack:
                    pc = registers_[loopBase_ + in.a] != pos ? pc + uint32_t(in.jump) : pc + 1;
                    break;
                case Op::kLineStart:
                    ok = pos == 0 || (program_.multiLine &&
                                      IsLineBreak(static_cast<unsigned char>(text_[pos - 1])));
                    ++pc;
                    break;
                case Op::kLineEnd:
                    ok = pos == length_ || (program_.multiLine &&
                                            IsLineBreak(static_cast<unsigned char>(text_[pos])));
                    ++pc;
                    break;
                case Op::kWordBoundary:
                case Op::kNotWordBoundary:
                    ok = (wordBefore(pos) != wordAt(pos)) == (in.op == Op::kWordBoundary);
                    ++pc;
                    break;
                case Op::kBackReference:
                    ok = backReference(in.a, pos);
                    ++pc;
                    break;
                case Op::kRepeat:
                case Op::kRepeatPossessive: {
                    uint32_t n = 0;
                    while (n < in.c && inSet(in.a, pos + n)) ++n;
                    charge(n);
                    ok = n >= in.b;
                    if (ok && n > in.b && in.op == Op::kRepeat)
                        push(Undo::kGreedy, pc, pos + n, pos + in.b);
                    pos += n, ++pc;
                    break;
                }
                case Op::kRepeatLazy: {
                    uint32_t n = 0;
                    while (n < in.b && inSet(in.a, pos + n)) ++n;
                    charge(n);
                    ok = n == in.b;
                    if (ok && n < in.c) push(Undo::kLazy, pc, pos + n, n);
                    pos += n, ++pc;
                    break;
                }
                case Op::kLookAhead:
                    push(Undo::kLook, pc, pos);
                    ++pc;
                    break;
                case Op::kLookEnd: {
                    std::size_t at = innermostLook();
                    Entry look = stack_[at];
                    if (code[look.pc].a != 0) {  // the negative one's body matched: it fails
                        unwindTo(at);
                        ok = false;
                        break;
                    }
                    commitLook(at);
                    pc = look.pc + uint32_t(code[look.pc].jump);
                    pos = look.pos;
                    break;
                }
                case Op::kMatch:
                    end_ = pos;
                    return true;
            }
            if (!ok && !backtrack(pc, pos)) return false;
        }
    }

    // Resumes at the latest choice not yet taken; false when none is left.
    bool backtrack(uint32_t& pc, uint32_t& pos) {
        const std::vector<Inst>& code = program_.code;
        while (!stack_.empty()) {
            charge(1);
            Entry e = stack_.back();
            stack_.pop_back();
            switch (e.kind) {
                case Undo::kRestore:
                    registers_[e.pc] = e.pos;
                    break;
                case Undo::kBranch:
                    pc = e.pc;
                    pos = e.pos;
                    return true;
                case Undo::kGreedy:
                    if (e.pos - 1 > e.extra) push(Undo::kGreedy, e.pc, e.pos - 1, e.extra);
                    pc = e.pc + 1;
                    pos = e.pos - 1;
                    return true;
                case Undo::kLazy: {
                    const Inst& in = code[e.pc];
                    if (!inSet(in.a, e.pos)) break;
                    if (e.extra + 1 < in.c) push(Undo::kLazy, e.pc, e.pos + 1, e.extra + 1);
                    pc = e.pc + 1;
                    pos = e.pos + 1;
                    return true;
                }
                case Undo::kLook:
                    if (code[e.pc].a == 0) break;  // a positive body failed: so does it
                    pc = e.pc + uint32_t(code[e.pc].jump);
                    pos = e.pos;
                    return true;
            }
        }
        return false;
    }

    const Program& program_;
    std::string_view text_;
    uint32_t length_;
    std::size_t& steps_;
    uint32_t openBase_;
    uint32_t loopBase_;
    uint32_t end_ = 0;
    std::vector<uint32_t> registers_;
    std::vector<Entry> stack_;
};

}  // namespace

MatchStatus Search(const Program& program, std::string_view text, std::size_t from,
                   std::size_t& steps, std::vector<std::size_t>& captures) {
    // Offsets are kept in 32 bits; longer texts exceed any step budget anyway.
    if (text.size() >= kUnset) return MatchStatus::kTooComplex;
    Machine machine(program, text, steps);
    try {
        for (std::size_t start = from; start <= text.size(); ++start) {
            if (program.firstBytesOnly) {
                while (start < text.size() &&
                       !program.firstBytes.has(static_cast<unsigned char>(text[start])))
                    ++start;
                if (start == text.size()) break;
            }
            if (machine.run(static_cast<uint32_t>(start), captures)) return MatchStatus::kMatch;
            if (program.leadingRun) {
                const ByteSet& run = program.sets[program.code[0].a];
                while (start < text.size() && run.has(static_cast<unsigned char>(text[start])))
                    ++start;
            }
        }
    } catch (const OutOfSteps&) {
        return MatchStatus::kTooComplex;
    }
    return MatchStatus::kNoMatch;
}

}  // namespace kz::script::regex
