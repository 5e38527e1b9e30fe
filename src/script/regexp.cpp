#include "script/regexp.h"

#include <optional>

#include "script/error.h"
#include "script/limits.h"
#include "script/regex.h"
#include "script/regexp_matches.h"

namespace kz::script {

namespace {

// Steps one Test, Execute or Replace may take, so that a pathological pattern fails
// quickly: a fixed allowance for backtracking (about a tenth of a second) and a few steps
// a byte of the text for scanning it.
constexpr std::size_t kStepBudget = 20000000;
constexpr std::size_t kStepsPerByte = 16;

class RegExp : public Object {
  public:
    std::string_view typeName() const override { return "IRegExp2"; }

    Value get(std::string_view name, std::vector<Value>& args) override {
        if (name == "test" || name == "execute") {
            ExpectArguments(args, 1);
            std::string text = ToString(args[0]);
            std::vector<MatchData> found = search(text, name == "execute" && global_);
            if (name == "test") return Value::boolean(!found.empty());
            return Value::object(MakeMatchCollection(std::move(found)));
        }
        if (name == "replace") {
            ExpectArguments(args, 2);
            return Value::string(replace(ToString(args[0]), ToString(args[1])));
        }
        ExpectArguments(args, 0);
        if (name == "pattern") return Value::string(pattern_);
        if (name == "ignorecase") return Value::boolean(ignoreCase_);
        if (name == "global") return Value::boolean(global_);
        if (name == "multiline") return Value::boolean(multiLine_);
        return Object::get(name, args);
    }

    void put(std::string_view name, const Value& value) override {
        if (name == "pattern")
            pattern_ = ToString(value);
        else if (name == "ignorecase")
            ignoreCase_ = ToBoolean(value);
        else if (name == "global")
            global_ = ToBoolean(value);
        else if (name == "multiline")
            multiLine_ = ToBoolean(value);
        else
            Object::put(name, value);
        program_.reset();
    }

  private:
    const regex::Program& compile() {
        if (!program_) {
            regex::Program program;
            switch (regex::Compile(pattern_, ignoreCase_, multiLine_, program)) {
                case regex::CompileStatus::kOk:
                    break;
                case regex::CompileStatus::kSyntax:
                    ThrowRuntime(kRegExpSyntax);
                case regex::CompileStatus::kTooLarge:
                    ThrowRuntime(kOutOfMemory);
            }
            program_ = std::move(program);
        }
        return *program_;
    }

    std::vector<MatchData> search(const std::string& text, bool all) {
        const regex::Program& program = compile();
        std::size_t steps = kStepBudget + kStepsPerByte * text.size();
        std::vector<std::size_t> at;
        std::vector<MatchData> found;
        std::size_t start = 0;
        while (start <= text.size()) {
            regex::MatchStatus status = regex::Search(program, text, start, steps, at);
            if (status == regex::MatchStatus::kNoMatch) break;
            if (status == regex::MatchStatus::kTooComplex)
                ThrowFatal(kOutOfStack, ErrorCode(kOutOfStack), ErrorText(kOutOfStack));
            MatchData match;
            match.value = text.substr(at[0], at[1] - at[0]);
            match.firstIndex = int32_t(at[0]);
            for (std::size_t g = 1; g <= program.groups; ++g) {
                if (at[2 * g] == regex::kNotSet)
                    match.submatches.emplace_back();
                else
                    match.submatches.push_back(
                        Value::string(text.substr(at[2 * g], at[2 * g + 1] - at[2 * g])));
            }
            found.push_back(std::move(match));
            CheckArrayItems(found.size());
            if (!all) break;
            start = at[1] > at[0] ? at[1] : at[1] + 1;
        }
        return found;
    }

    // $& the match, $` before it, $' after it, $n a group, $$ a dollar sign.
    static void expand(std::string& out, const std::string& with, const std::string& text,
                       const MatchData& m) {
        for (std::size_t i = 0; i < with.size(); ++i) {
            char c = with[i];
            char n = i + 1 < with.size() ? with[i + 1] : '\0';
            if (c != '$' || n == '\0') {
                out += c;
            } else if (n == '$') {
                out += '$', ++i;
            } else if (n == '&') {
                out += m.value, ++i;
            } else if (n == '`') {
                out.append(text, 0, std::size_t(m.firstIndex)), ++i;
            } else if (n == '\'') {
                out.append(text, std::size_t(m.firstIndex) + m.value.size()), ++i;
            } else if (n >= '1' && n <= '9') {
                std::size_t group = std::size_t(n - '0');
                std::size_t used = 1;
                char n2 = i + 2 < with.size() ? with[i + 2] : '\0';
                if (n2 >= '0' && n2 <= '9' &&
                    group * 10 + std::size_t(n2 - '0') <= m.submatches.size())
                    group = group * 10 + std::size_t(n2 - '0'), used = 2;
                if (group > m.submatches.size()) {
                    out += c;
                    continue;
                }
                const Value& sub = m.submatches[group - 1];
                if (sub.isString()) out += sub.stringPart();
                i += used;
            } else {
                out += c;
            }
            CheckStringLength(out.size());
        }
    }

    std::string replace(const std::string& text, const std::string& with) {
        std::vector<MatchData> found = search(text, global_);
        std::string out;
        std::size_t pos = 0;
        for (const MatchData& m : found) {
            out.append(text, pos, std::size_t(m.firstIndex) - pos);
            expand(out, with, text, m);
            pos = std::size_t(m.firstIndex) + m.value.size();
        }
        out.append(text, pos);
        CheckStringLength(out.size());
        return out;
    }

    std::string pattern_;
    bool ignoreCase_ = false;
    bool global_ = false;
    bool multiLine_ = false;
    std::optional<regex::Program> program_;
};

}  // namespace

std::shared_ptr<Object> CreateRegExp() {
    return std::make_shared<RegExp>();
}

}  // namespace kz::script
