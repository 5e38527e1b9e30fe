// Analyses of a compiled program that spare the matcher work without changing what it
// finds.

#include <cstdint>
#include <vector>

#include "script/regex_program.h"

namespace kz::script::regex {

namespace {

// The bytes the instruction must consume first, if it must consume any.
const ByteSet* Consumes(const Program& program, const Inst& in, ByteSet& single) {
    switch (in.op) {
        case Op::kChar:
            single = ByteSet();
            single.add(static_cast<unsigned char>(in.a));
            return &single;
        case Op::kSet:
            return &program.sets[in.a];
        case Op::kRepeat:
        case Op::kRepeatLazy:
        case Op::kRepeatPossessive:
            return in.b > 0 ? &program.sets[in.a] : nullptr;
        default:
            return nullptr;
    }
}

// The bytes a match can begin with, so that the search skips the start positions that
// cannot begin one: every path from the start up to its first byte-consuming instruction.
void FindFirstBytes(Program& program) {
    const std::vector<Inst>& code = program.code;
    std::vector<bool> seen(code.size());
    std::vector<uint32_t> work{0};
    ByteSet first;
    auto jump = [](uint32_t pc, const Inst& in) { return pc + uint32_t(in.jump); };
    while (!work.empty()) {
        uint32_t pc = work.back();
        work.pop_back();
        if (seen[pc]) continue;
        seen[pc] = true;
        const Inst& in = code[pc];
        switch (in.op) {
            case Op::kChar:
                first.add(static_cast<unsigned char>(in.a));
                break;
            case Op::kSet:
                first.addAll(program.sets[in.a]);
                break;
            case Op::kRepeat:
            case Op::kRepeatLazy:
            case Op::kRepeatPossessive:
                first.addAll(program.sets[in.a]);
                if (in.b == 0) work.push_back(pc + 1);
                break;
            case Op::kSplit:
            case Op::kSplitLazy:
            case Op::kLoopBack:
                work.push_back(pc + 1);
                work.push_back(jump(pc, in));
                break;
            case Op::kJump:
            case Op::kLookAhead:  // what follows it must match at the same place
                work.push_back(jump(pc, in));
                break;
            case Op::kOpenGroup:
            case Op::kCloseGroup:
            case Op::kMark:
            case Op::kLineStart:
            case Op::kLineEnd:
            case Op::kWordBoundary:
            case Op::kNotWordBoundary:
                work.push_back(pc + 1);
                break;
            // A match that may be empty, or a reference to a group a look-ahead set,
            // can start anywhere.
            case Op::kBackReference:
            case Op::kLookEnd:
            case Op::kMatch:
                program.firstBytesOnly = false;
                return;
        }
    }
    program.firstBytes = first;
    program.firstBytesOnly = true;
}

// A greedy run followed by bytes it cannot contain never gains by giving bytes back:
// such runs keep no choice (a+b, \w+@, \d+\.).
void MakeRunsPossessive(Program& program) {
    ByteSet single;
    for (std::size_t pc = 0; pc + 1 < program.code.size(); ++pc) {
        Inst& in = program.code[pc];
        if (in.op != Op::kRepeat) continue;
        const ByteSet* next = Consumes(program, program.code[pc + 1], single);
        if (next && !next->intersects(program.sets[in.a])) in.op = Op::kRepeatPossessive;
    }
}

}  // namespace

void Optimize(Program& program) {
    MakeRunsPossessive(program);
    FindFirstBytes(program);
    // The ends that such a run reaches from a later start are ones it already reached from
    // the earlier one, and nothing before it can tell the two starts apart.
    const Inst& head = program.code[0];
    program.leadingRun = (head.op == Op::kRepeat || head.op == Op::kRepeatLazy ||
                          head.op == Op::kRepeatPossessive) &&
                         head.c == kUnbounded;
}

}  // namespace kz::script::regex
