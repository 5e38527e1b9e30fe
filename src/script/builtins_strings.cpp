#include <algorithm>
#include <cctype>

#include "base/ascii.h"
#include "script/arrays.h"
#include "script/builtins.h"
#include "script/error.h"
#include "script/limits.h"
#include "script/operators.h"
#include "script/text_search.h"

namespace kz::script {

namespace {

using Args = std::vector<Value>;

bool TextMode(const Args& a, std::size_t i) {
    return Given(a, i) && ToLong(a[i]) == 1;
}

std::size_t Count(const Value& v) {
    int32_t n = ToLong(v);
    if (n < 0) ThrowRuntime(kInvalidCall);
    return std::size_t(n);
}

std::size_t Start(const Value& v) {
    int32_t n = ToLong(v);
    if (n < 1) ThrowRuntime(kInvalidCall);
    return std::size_t(n);
}

Value Len(Args& a) {
    if (a[0].isNull()) return Value::null();
    return Value::longValue(int32_t(ToString(a[0]).size()));
}

Value Left(Args& a) {
    if (a[0].isNull()) return Value::null();
    std::size_t n = Count(a[1]);
    return Value::string(ToString(a[0]).substr(0, n));
}

Value Right(Args& a) {
    if (a[0].isNull()) return Value::null();
    std::size_t n = Count(a[1]);
    std::string s = ToString(a[0]);
    return Value::string(s.substr(s.size() - std::min(n, s.size())));
}

Value Mid(Args& a) {
    if (a[0].isNull()) return Value::null();
    std::size_t start = Start(a[1]);
    std::string s = ToString(a[0]);
    if (start > s.size()) return Value::string("");
    std::size_t n = Given(a, 2) ? Count(a[2]) : std::string::npos;
    return Value::string(s.substr(start - 1, n));
}

Value InStr(Args& a) {
    std::size_t start = 1;
    std::size_t first = 0;
    if (a.size() >= 3) {
        if (a[0].isNull()) ThrowRuntime(kInvalidUseOfNull);
        start = Start(a[0]);
        first = 1;
    }
    if (AnyNull(a, first + 2)) return Value::null();
    std::string hay = ToString(a[first]), needle = ToString(a[first + 1]);
    if (start > hay.size()) return Value::longValue(0);
    if (needle.empty()) return Value::longValue(int32_t(start));
    std::size_t at = FindText(hay, needle, start - 1, TextMode(a, first + 2));
    return Value::longValue(at == std::string::npos ? 0 : int32_t(at + 1));
}

Value InStrRev(Args& a) {
    if (AnyNull(a, 2)) return Value::null();
    std::string hay = ToString(a[0]), needle = ToString(a[1]);
    int32_t start = Given(a, 2) ? ToLong(a[2]) : -1;
    if (start == 0 || start < -1) ThrowRuntime(kInvalidCall);
    if (start == -1) start = int32_t(hay.size());
    if (needle.empty()) return Value::longValue(start);
    if (std::size_t(start) > hay.size()) return Value::longValue(0);
    if (needle.size() > std::size_t(start)) return Value::longValue(0);
    std::size_t last = std::size_t(start) - needle.size();
    std::size_t at = FindTextReverse(hay, needle, last, TextMode(a, 3));
    return Value::longValue(at == std::string::npos ? 0 : int32_t(at + 1));
}

Value CaseOf(Args& a, bool upper) {
    if (a[0].isNull()) return Value::null();
    std::string s = ToString(a[0]);
    for (char& c : s) c = upper ? toUpperAscii(c) : toLowerAscii(c);
    return Value::string(std::move(s));
}

Value Trimmed(Args& a, bool left, bool right) {
    if (a[0].isNull()) return Value::null();
    std::string s = ToString(a[0]);
    std::size_t b = 0, e = s.size();
    if (left)
        while (b < e && s[b] == ' ') ++b;
    if (right)
        while (e > b && s[e - 1] == ' ') --e;
    return Value::string(s.substr(b, e - b));
}

Value Replace(Args& a) {
    if (AnyNull(a, 3)) return Value::null();
    std::string s = ToString(a[0]), find = ToString(a[1]), with = ToString(a[2]);
    std::size_t start = Given(a, 3) ? Start(a[3]) : 1;
    int32_t count = Given(a, 4) ? ToLong(a[4]) : -1;
    if (count < -1) ThrowRuntime(kInvalidCall);
    bool text = TextMode(a, 5);
    // The result begins at start, as VBScript's Replace returns it.
    if (start > s.size()) return Value::string("");
    s.erase(0, start - 1);
    if (find.empty() || count == 0) return Value::string(s);
    std::string out;
    std::size_t pos = 0;
    for (int32_t done = 0; count == -1 || done < count; ++done) {
        std::size_t at = FindText(s, find, pos, text);
        if (at == std::string::npos) break;
        CheckStringLength(out.size() + (at - pos) + with.size());
        out.append(s, pos, at - pos);
        out += with;
        pos = at + find.size();
    }
    CheckStringLength(out.size() + s.size() - pos);
    out.append(s, pos);
    return Value::string(std::move(out));
}

Value Split(Args& a) {
    if (a[0].isNull()) return Value::null();
    std::string s = ToString(a[0]);
    std::string delimiter = Given(a, 1) ? ToString(a[1]) : " ";
    int32_t count = Given(a, 2) ? ToLong(a[2]) : -1;
    if (count < -1) ThrowRuntime(kInvalidCall);
    std::vector<Value> parts;
    if (s.empty() || count == 0) return ArrayOf({});
    std::size_t pos = 0;
    while (!delimiter.empty() && (count == -1 || int32_t(parts.size()) + 1 < count)) {
        std::size_t at = FindText(s, delimiter, pos, TextMode(a, 3));
        if (at == std::string::npos) break;
        parts.push_back(Value::string(s.substr(pos, at - pos)));
        CheckArrayItems(parts.size());
        pos = at + delimiter.size();
    }
    parts.push_back(Value::string(s.substr(pos)));
    return ArrayOf(std::move(parts));
}

Value Join(Args& a) {
    if (!a[0].isArray() || a[0].arrayPart()->upper.size() != 1) ThrowRuntime(kTypeMismatch);
    std::string delimiter = Given(a, 1) ? ToString(a[1]) : " ";
    std::string out;
    bool first = true;
    for (const Value& item : a[0].arrayPart()->items) {
        if (!first) out += delimiter;
        first = false;
        out += item.isNull() ? std::string() : ToString(item);
        CheckStringLength(out.size());
    }
    return Value::string(std::move(out));
}

Value StrComp(Args& a) {
    if (AnyNull(a, 2)) return Value::null();
    return Value::integer(int16_t(CompareText(ToString(a[0]), ToString(a[1]), TextMode(a, 2))));
}

Value Repeated(std::size_t n, char c) {
    CheckStringLength(n);
    return Value::string(std::string(n, c));
}

Value Space(Args& a) {
    return Repeated(Count(a[0]), ' ');
}

Value StringOf(Args& a) {
    if (AnyNull(a, 2)) return Value::null();
    std::size_t n = Count(a[0]);
    char c = 0;
    if (a[1].isString()) {
        if (a[1].stringPart().empty()) ThrowRuntime(kInvalidCall);
        c = a[1].stringPart()[0];
    } else {
        c = char(ToLong(a[1]) & 0xFF);
    }
    return Repeated(n, c);
}

Value Chr(Args& a) {
    int32_t code = ToLong(a[0]);
    if (code < 0 || code > 255) ThrowRuntime(kInvalidCall);
    return Value::string(std::string(1, char(code)));
}

Value Asc(Args& a) {
    if (a[0].isNull()) ThrowRuntime(kInvalidUseOfNull);
    std::string s = ToString(a[0]);
    if (s.empty()) ThrowRuntime(kInvalidCall);
    return Value::integer(int16_t(static_cast<unsigned char>(s[0])));
}

Value StrReverse(Args& a) {
    if (a[0].isNull()) ThrowRuntime(kInvalidUseOfNull);
    std::string s = ToString(a[0]);
    std::reverse(s.begin(), s.end());
    return Value::string(std::move(s));
}

const Builtin kStrings[] = {
    {"len", 1, 1, Len},
    {"left", 2, 2, Left},
    {"right", 2, 2, Right},
    {"mid", 2, 3, Mid},
    {"instr", 2, 4, InStr},
    {"instrrev", 2, 4, InStrRev},
    {"lcase", 1, 1, [](Args& a) { return CaseOf(a, false); }},
    {"ucase", 1, 1, [](Args& a) { return CaseOf(a, true); }},
    {"trim", 1, 1, [](Args& a) { return Trimmed(a, true, true); }},
    {"ltrim", 1, 1, [](Args& a) { return Trimmed(a, true, false); }},
    {"rtrim", 1, 1, [](Args& a) { return Trimmed(a, false, true); }},
    {"replace", 3, 6, Replace},
    {"split", 1, 4, Split},
    {"join", 1, 2, Join},
    {"strcomp", 2, 3, StrComp},
    {"space", 1, 1, Space},
    {"string", 2, 2, StringOf},
    {"chr", 1, 1, Chr},
    {"asc", 1, 1, Asc},
    {"strreverse", 1, 1, StrReverse},
};

}  // namespace

std::span<const Builtin> StringBuiltins() {
    return kStrings;
}

}  // namespace kz::script
