#include "script/regexp.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include "script/error.h"
#include "script/limits.h"
#include "script/regexp_matches.h"

namespace kz::script {

namespace {

// Backtracking bounds of one match, so that a pathological pattern fails quickly.
constexpr uint32_t kMatchLimit = 1000000;
constexpr uint32_t kDepthLimit = 10000;
constexpr uint32_t kHeapLimitKiB = 64 * 1024;

struct CodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct ContextDeleter {
    void operator()(pcre2_match_context* context) const { pcre2_match_context_free(context); }
};
struct DataDeleter {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};

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
        code_.reset();
    }

  private:
    void compile() {
        if (code_) return;
        uint32_t options = PCRE2_DOLLAR_ENDONLY | PCRE2_ALT_BSUX | PCRE2_MATCH_UNSET_BACKREF;
        if (ignoreCase_) options |= PCRE2_CASELESS;
        if (multiLine_) options = (options & ~PCRE2_DOLLAR_ENDONLY) | PCRE2_MULTILINE;
        int error = 0;
        PCRE2_SIZE offset = 0;
        code_.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern_.data()), pattern_.size(),
                                  options, &error, &offset, nullptr));
        if (!code_) ThrowRuntime(kRegExpSyntax);
        if (!context_) {
            context_.reset(pcre2_match_context_create(nullptr));
            if (!context_) ThrowRuntime(kOutOfMemory);
            pcre2_set_match_limit(context_.get(), kMatchLimit);
            pcre2_set_depth_limit(context_.get(), kDepthLimit);
            pcre2_set_heap_limit(context_.get(), kHeapLimitKiB);
        }
    }

    std::vector<MatchData> search(const std::string& text, bool all) {
        compile();
        std::unique_ptr<pcre2_match_data, DataDeleter> data(
            pcre2_match_data_create_from_pattern(code_.get(), nullptr));
        if (!data) ThrowRuntime(kOutOfMemory);
        std::vector<MatchData> found;
        PCRE2_SIZE start = 0;
        while (start <= text.size()) {
            int rc = pcre2_match(code_.get(), reinterpret_cast<PCRE2_SPTR>(text.data()),
                                 text.size(), start, 0, data.get(), context_.get());
            if (rc == PCRE2_ERROR_NOMATCH) break;
            if (rc < 0) ThrowFatal(kOutOfStack, ErrorCode(kOutOfStack), ErrorText(kOutOfStack));
            PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data.get());
            MatchData match;
            match.value = text.substr(ov[0], ov[1] - ov[0]);
            match.firstIndex = int32_t(ov[0]);
            uint32_t groups = pcre2_get_ovector_count(data.get());
            for (uint32_t g = 1; g < groups; ++g) {
                if (int(g) >= rc || ov[2 * g] == PCRE2_UNSET)
                    match.submatches.emplace_back();
                else
                    match.submatches.push_back(
                        Value::string(text.substr(ov[2 * g], ov[2 * g + 1] - ov[2 * g])));
            }
            found.push_back(std::move(match));
            CheckArrayItems(found.size());
            if (!all) break;
            start = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
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
    std::unique_ptr<pcre2_code, CodeDeleter> code_;
    std::unique_ptr<pcre2_match_context, ContextDeleter> context_;
};

}  // namespace

std::shared_ptr<Object> CreateRegExp() {
    return std::make_shared<RegExp>();
}

}  // namespace kz::script
