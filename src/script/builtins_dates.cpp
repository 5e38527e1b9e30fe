#include <cmath>

#include "script/builtins.h"
#include "script/date_time.h"
#include "script/error.h"

namespace kz::script {

namespace {

using Args = std::vector<Value>;

// A date argument: a Date, a number of days, or Null.
DateParts PartsOf(const Value& v) {
    if (v.isNull()) ThrowRuntime(kInvalidUseOfNull);
    return SplitDate(ToDouble(v));
}

Value Part(Args& a, int DateParts::*field) {
    if (a[0].isNull()) return a[0];
    return Value::integer(int16_t(PartsOf(a[0]).*field));
}

const Builtin kDates[] = {
    {"now", 0, 0, [](Args&) { return Value::date(NowSerial()); }},
    {"date", 0, 0, [](Args&) { return Value::date(std::floor(NowSerial())); }},
    {"time", 0, 0,
     [](Args&) {
         double now = NowSerial();
         return Value::date(now - std::floor(now));
     }},
    {"year", 1, 1, [](Args& a) { return Part(a, &DateParts::year); }},
    {"month", 1, 1, [](Args& a) { return Part(a, &DateParts::month); }},
    {"day", 1, 1, [](Args& a) { return Part(a, &DateParts::day); }},
    {"hour", 1, 1, [](Args& a) { return Part(a, &DateParts::hour); }},
    {"minute", 1, 1, [](Args& a) { return Part(a, &DateParts::minute); }},
    {"second", 1, 1, [](Args& a) { return Part(a, &DateParts::second); }},
    {"weekday", 1, 2,
     [](Args& a) {
         if (a[0].isNull()) return a[0];
         int first = Given(a, 1) ? ToLong(a[1]) : 1;
         if (first == 0) first = 1;
         if (first < 1 || first > 7) ThrowRuntime(kInvalidCall);
         int day = PartsOf(a[0]).weekday;
         return Value::integer(int16_t((day - first + 7) % 7 + 1));
     }},
    {"dateserial", 3, 3,
     [](Args& a) { return Value::date(DateSerial(ToLong(a[0]), ToLong(a[1]), ToLong(a[2]))); }},
    {"timeserial", 3, 3,
     [](Args& a) { return Value::date(TimeSerial(ToLong(a[0]), ToLong(a[1]), ToLong(a[2]))); }},
};

}  // namespace

std::span<const Builtin> DateBuiltins() {
    return kDates;
}

}  // namespace kz::script
