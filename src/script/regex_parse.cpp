// Reading a pattern straight into matcher code. Each piece of the pattern becomes a
// fragment of code with relative jumps; alternatives, groups and quantifiers wrap and
// copy fragments. The syntax is ECMAScript's with its web-compatible leniencies: a
// brace that starts no quantifier, a stray ] or } and an unknown escape stand for
// themselves, and a back reference to a group the pattern lacks is an octal escape.

#include <cstdint>
#include <string_view>
#include <vector>

#include "script/regex.h"

namespace kz::script::regex {

namespace {

// Nested groups are read recursively; this bounds the depth of that recursion.
constexpr int kMaxNesting = 200;
// Counted repeats copy their operand; this bounds the program they can build.
constexpr std::size_t kMaxCode = 100000;

struct SyntaxFault {};
struct SizeFault {};

struct Fragment {
    std::vector<Inst> code;
    bool nullable = true;  // may match the empty text
};

bool IsSingle(const Fragment& f) {
    return f.code.size() == 1 && (f.code[0].op == Op::kChar || f.code[0].op == Op::kSet);
}

unsigned char OtherCase(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c - 'A' + 'a');
    return c;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}

// \d \w \s and their complements; false for any other letter.
bool ClassEscape(char letter, ByteSet& set) {
    switch (letter | 0x20) {
        case 'd':
            set.addRange('0', '9');
            break;
        case 'w':
            set.addRange('0', '9');
            set.addRange('A', 'Z');
            set.addRange('a', 'z');
            set.add('_');
            break;
        case 's':
            set.add(' ');
            set.addRange('\t', '\r');
            break;
        default:
            return false;
    }
    if (letter >= 'A' && letter <= 'Z') set.invert();
    return true;
}

// The capturing groups of the whole pattern: \n names a group even before it opens.
uint32_t CountGroups(std::string_view p) {
    uint32_t groups = 0;
    bool inClass = false;
    for (std::size_t i = 0; i < p.size(); ++i) {
        char c = p[i];
        if (c == '\\') {
            ++i;
        } else if (inClass) {
            inClass = c != ']';
        } else if (c == '[') {
            inClass = true;
            if (i + 1 < p.size() && p[i + 1] == '^') ++i;
        } else if (c == '(' && (i + 1 == p.size() || p[i + 1] != '?')) {
            ++groups;
        }
    }
    return groups;
}

Inst JumpInst(Op op, std::size_t distance) {
    Inst in{op};
    in.jump = static_cast<int32_t>(distance);
    return in;
}

class Parser {
  public:
    Parser(std::string_view pattern, Program& program)
        : p_(pattern), program_(program), totalGroups_(CountGroups(pattern)) {}

    void run() {
        Fragment all = disjunction();
        if (more()) throw SyntaxFault{};  // an unopened )
        all.code.push_back(Inst{Op::kMatch});
        program_.code = std::move(all.code);
        program_.groups = groups_;
        program_.loops = loops_;
        Optimize(program_);
    }

  private:
    bool more() const { return i_ < p_.size(); }
    bool accept(char c) {
        if (!more() || p_[i_] != c) return false;
        ++i_;
        return true;
    }

    static void checkSize(uint64_t size) {
        if (size > kMaxCode) throw SizeFault{};
    }

    static void append(Fragment& out, const Fragment& piece) {
        checkSize(out.code.size() + piece.code.size());
        out.code.insert(out.code.end(), piece.code.begin(), piece.code.end());
        out.nullable = out.nullable && piece.nullable;
    }

    Fragment setFragment(const ByteSet& set) {
        program_.sets.push_back(set);
        Inst in{Op::kSet};
        in.a = static_cast<uint32_t>(program_.sets.size() - 1);
        Fragment f;
        f.code.push_back(in);
        f.nullable = false;
        return f;
    }

    // A character beyond a byte (from \u) can never match.
    Fragment charFragment(unsigned code) {
        ByteSet set;
        if (code < 256) {
            auto c = static_cast<unsigned char>(code);
            if (!program_.ignoreCase || OtherCase(c) == c) {
                Inst in{Op::kChar};
                in.a = c;
                Fragment f;
                f.code.push_back(in);
                f.nullable = false;
                return f;
            }
            set.add(c);
            set.add(OtherCase(c));
        }
        return setFragment(set);
    }

    static Fragment assertion(Op op, uint32_t a = 0) {
        Inst in{op};
        in.a = a;
        Fragment f;
        f.code.push_back(in);
        return f;
    }

    Fragment disjunction() {
        if (++depth_ > kMaxNesting) throw SizeFault{};
        std::vector<Fragment> alternatives;
        alternatives.push_back(alternative());
        while (accept('|')) alternatives.push_back(alternative());
        --depth_;
        if (alternatives.size() == 1) return std::move(alternatives[0]);
        // Split to the next alternative, the alternative, jump to the end; the last one
        // without either.
        std::size_t total = 0;
        for (const Fragment& f : alternatives) total += f.code.size() + 2;
        total -= 2;
        checkSize(total);
        Fragment out;
        out.code.reserve(total);
        out.nullable = false;
        for (std::size_t k = 0; k < alternatives.size(); ++k) {
            const Fragment& f = alternatives[k];
            bool last = k + 1 == alternatives.size();
            if (!last) out.code.push_back(JumpInst(Op::kSplit, f.code.size() + 2));
            out.code.insert(out.code.end(), f.code.begin(), f.code.end());
            if (!last) out.code.push_back(JumpInst(Op::kJump, total - out.code.size()));
            out.nullable = out.nullable || f.nullable;
        }
        return out;
    }

    Fragment alternative() {
        Fragment out;
        while (more() && p_[i_] != '|' && p_[i_] != ')') append(out, term());
        return out;
    }

    Fragment term() {
        bool repeatable = true;
        Fragment atom = this->atom(repeatable);
        uint32_t min = 0;
        uint32_t max = 0;
        if (accept('*')) {
            max = kUnbounded;
        } else if (accept('+')) {
            min = 1, max = kUnbounded;
        } else if (accept('?')) {
            max = 1;
        } else if (!braces(min, max)) {
            return atom;
        }
        if (!repeatable) throw SyntaxFault{};
        bool greedy = !accept('?');
        return repeat(atom, min, max, greedy);
    }

    // Digits, saturating below kUnbounded; false without any.
    bool number(uint32_t& value) {
        std::size_t start = i_;
        uint64_t n = 0;
        while (more() && p_[i_] >= '0' && p_[i_] <= '9') {
            n = n * 10 + uint64_t(p_[i_++] - '0');
            if (n >= kUnbounded) n = kUnbounded - 1;
        }
        value = static_cast<uint32_t>(n);
        return i_ > start;
    }

    // {n}, {n,} or {n,m}; anything else leaves the brace to be read as itself.
    bool braces(uint32_t& min, uint32_t& max) {
        std::size_t start = i_;
        if (accept('{') && number(min)) {
            max = min;
            if (accept(',') && !number(max)) max = kUnbounded;
            if (accept('}')) return true;
        }
        i_ = start;
        return false;
    }

    Fragment repeat(Fragment atom, uint32_t min, uint32_t max, bool greedy) {
        if (max < min) throw SyntaxFault{};
        Fragment out;
        if (IsSingle(atom)) {
            Inst in{greedy ? Op::kRepeat : Op::kRepeatLazy};
            if (atom.code[0].op == Op::kSet) {
                in.a = atom.code[0].a;
            } else {
                ByteSet set;
                set.add(static_cast<unsigned char>(atom.code[0].a));
                in.a = setFragment(set).code[0].a;
            }
            in.b = min;
            in.c = max;
            out.code.push_back(in);
            out.nullable = min == 0;
            return out;
        }
        const std::size_t n = atom.code.size();
        uint64_t tail = max == kUnbounded ? n + 3 : uint64_t(max - min) * (n + 1);
        checkSize(uint64_t(min) * n + tail);
        for (uint32_t k = 0; k < min; ++k) append(out, atom);
        if (max == kUnbounded) {
            // Split past the loop; [Mark]; body; back to the split. A body that may match
            // nothing ends an iteration that did so, else the loop would never end.
            bool check = atom.nullable;
            uint32_t loop = check ? loops_++ : 0;
            std::size_t length = n + (check ? 3 : 2);
            out.code.push_back(JumpInst(greedy ? Op::kSplit : Op::kSplitLazy, length));
            if (check) {
                Inst mark{Op::kMark};
                mark.a = loop;
                out.code.push_back(mark);
            }
            out.code.insert(out.code.end(), atom.code.begin(), atom.code.end());
            Inst back{check ? Op::kLoopBack : Op::kJump};
            back.a = loop;
            back.jump = -static_cast<int32_t>(length - 1);
            out.code.push_back(back);
        } else {
            // Each optional copy is tried only after the one before it matched.
            for (uint32_t k = 0; k < max - min; ++k) {
                std::size_t toEnd = std::size_t(max - min - k) * (n + 1);
                out.code.push_back(JumpInst(greedy ? Op::kSplit : Op::kSplitLazy, toEnd));
                out.code.insert(out.code.end(), atom.code.begin(), atom.code.end());
            }
        }
        if (min == 0) out.nullable = true;
        return out;
    }

    Fragment atom(bool& repeatable) {
        char c = p_[i_++];
        switch (c) {
            case '^':
                repeatable = false;
                return assertion(Op::kLineStart);
            case '$':
                repeatable = false;
                return assertion(Op::kLineEnd);
            case '.': {
                ByteSet set;
                set.add('\n');
                set.invert();
                return setFragment(set);
            }
            case '(':
                return group();
            case '[':
                return charClass();
            case '\\':
                return escape(repeatable);
            case '*':
            case '+':
            case '?':
                throw SyntaxFault{};  // nothing to repeat
            case '{': {
                uint32_t min = 0;
                uint32_t max = 0;
                --i_;
                if (braces(min, max)) throw SyntaxFault{};
                ++i_;
                return charFragment('{');
            }
            default:
                return charFragment(static_cast<unsigned char>(c));
        }
    }

    Fragment group() {
        Fragment body;
        if (accept('?')) {
            if (accept(':')) {
                body = disjunction();
            } else if (more() && (p_[i_] == '=' || p_[i_] == '!')) {
                bool negative = p_[i_++] == '!';
                Fragment inner = disjunction();
                checkSize(inner.code.size() + 2);
                Inst look = JumpInst(Op::kLookAhead, inner.code.size() + 2);
                look.a = negative ? 1 : 0;
                body.code.push_back(look);
                body.code.insert(body.code.end(), inner.code.begin(), inner.code.end());
                body.code.push_back(Inst{Op::kLookEnd});
            } else {
                throw SyntaxFault{};
            }
        } else {
            uint32_t index = ++groups_;
            Fragment inner = disjunction();
            checkSize(inner.code.size() + 2);
            Inst open{Op::kOpenGroup};
            open.a = index;
            Inst close{Op::kCloseGroup};
            close.a = index;
            body.code.push_back(open);
            body.code.insert(body.code.end(), inner.code.begin(), inner.code.end());
            body.code.push_back(close);
            body.nullable = inner.nullable;
        }
        if (!accept(')')) throw SyntaxFault{};
        return body;
    }

    // After the backslash, outside a class.
    Fragment escape(bool& repeatable) {
        if (!more()) throw SyntaxFault{};
        char e = p_[i_];
        ByteSet set;
        if (e == 'b' || e == 'B') {
            ++i_;
            repeatable = false;
            return assertion(e == 'b' ? Op::kWordBoundary : Op::kNotWordBoundary);
        }
        if (ClassEscape(e, set)) {
            ++i_;
            return setFragment(set);
        }
        if (e >= '1' && e <= '9') {
            std::size_t start = i_;
            uint32_t n = 0;
            number(n);
            if (n <= totalGroups_) return assertion(Op::kBackReference, n);
            i_ = start;
        }
        return charFragment(characterEscape());
    }

    // The character an escape stands for; i_ is past the backslash.
    unsigned characterEscape() {
        char e = p_[i_++];
        switch (e) {
            case 't':
                return '\t';
            case 'n':
                return '\n';
            case 'r':
                return '\r';
            case 'f':
                return '\f';
            case 'v':
                return '\v';
            case 'c':
                if (more() && ((p_[i_] | 0x20) >= 'a' && (p_[i_] | 0x20) <= 'z'))
                    return unsigned(p_[i_++]) % 32;
                --i_;  // a lone \c is a backslash followed by c
                return '\\';
            case 'x':
                return hexEscape(2, 'x');
            case 'u':
                return hexEscape(4, 'u');
            default:
                break;
        }
        if (IsOctal(e)) {
            unsigned value = unsigned(e - '0');
            std::size_t digits = e <= '3' ? 2 : 1;
            for (; digits > 0 && more() && IsOctal(p_[i_]); --digits)
                value = value * 8 + unsigned(p_[i_++] - '0');
            return value;
        }
        return static_cast<unsigned char>(e);
    }

    unsigned hexEscape(std::size_t digits, char letter) {
        if (p_.size() - i_ < digits) return static_cast<unsigned char>(letter);
        unsigned value = 0;
        for (std::size_t k = 0; k < digits; ++k) {
            int v = HexValue(p_[i_ + k]);
            if (v < 0) return static_cast<unsigned char>(letter);
            value = value * 16 + unsigned(v);
        }
        i_ += digits;
        return value;
    }

    struct ClassAtom {
        unsigned code = 0;
        bool isSet = false;
        ByteSet set;
    };

    ClassAtom classAtom() {
        ClassAtom atom;
        char c = p_[i_++];
        if (c != '\\') {
            atom.code = static_cast<unsigned char>(c);
            return atom;
        }
        if (!more()) throw SyntaxFault{};
        if (ClassEscape(p_[i_], atom.set)) {
            ++i_;
            atom.isSet = true;
        } else if (p_[i_] == 'b') {
            ++i_;
            atom.code = '\b';
        } else {
            atom.code = characterEscape();
        }
        return atom;
    }

    static void addAtom(ByteSet& set, const ClassAtom& atom) {
        if (atom.isSet)
            set.addAll(atom.set);
        else if (atom.code < 256)
            set.add(static_cast<unsigned char>(atom.code));
    }

    // After the [. An empty class matches nothing and [^] any byte.
    Fragment charClass() {
        bool negate = accept('^');
        ByteSet set;
        for (;;) {
            if (!more()) throw SyntaxFault{};
            if (accept(']')) break;
            ClassAtom low = classAtom();
            if (i_ + 1 < p_.size() && p_[i_] == '-' && p_[i_ + 1] != ']') {
                ++i_;
                ClassAtom high = classAtom();
                if (low.isSet || high.isSet) {  // a class escape makes the dash a dash
                    addAtom(set, low);
                    set.add('-');
                    addAtom(set, high);
                    continue;
                }
                if (low.code > high.code) throw SyntaxFault{};
                set.addRange(low.code, high.code);
                continue;
            }
            addAtom(set, low);
        }
        if (program_.ignoreCase) {
            ByteSet folded = set;
            for (unsigned c = 0; c < 256; ++c)
                if (set.has(static_cast<unsigned char>(c)))
                    folded.add(OtherCase(static_cast<unsigned char>(c)));
            set = folded;
        }
        if (negate) set.invert();
        return setFragment(set);
    }

    std::string_view p_;
    std::size_t i_ = 0;
    Program& program_;
    uint32_t totalGroups_;
    uint32_t groups_ = 0;
    uint32_t loops_ = 0;
    int depth_ = 0;
};

}  // namespace

CompileStatus Compile(std::string_view pattern, bool ignoreCase, bool multiLine, Program& out) {
    Program program;
    program.ignoreCase = ignoreCase;
    program.multiLine = multiLine;
    try {
        Parser(pattern, program).run();
    } catch (const SyntaxFault&) {
        return CompileStatus::kSyntax;
    } catch (const SizeFault&) {
        return CompileStatus::kTooLarge;
    }
    out = std::move(program);
    return CompileStatus::kOk;
}

}  // namespace kz::script::regex
