// The script engine run on small scripts: the cases of tests/fixtures/script/
// engine_cases.txt (built-in functions, variant arithmetic and comparison, statements,
// lexical rules and errors, each run on its own), errors with their numbers, codes, texts
// and lines, the bounds of a run (time, calls, stack, memory, nesting) and engines on many
// threads.

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <thread>
#include <vector>

#include "script/engine.h"
#include "script/error.h"
#include "support/case_file.h"

namespace kz::script::test {
namespace {

std::string Describe(const ScriptError& error) {
    return (error.isSyntax ? "Syntax:" : "Error:") + std::to_string(error.number);
}

// Values shown as "TypeName:text": "Integer:3", "String:abc", "Null", "Empty", "Error:13"
// (run-time), "Syntax:1002".
std::string Show(const Value& v) {
    switch (v.type()) {
        case Type::Empty:
            return "Empty";
        case Type::Null:
            return "Null";
        case Type::Integer:
            return "Integer:" + ToString(v);
        case Type::Long:
            return "Long:" + ToString(v);
        case Type::Double:
            return "Double:" + ToString(v);
        case Type::Date:
            return "Date:" + ToString(v);
        case Type::String:
            return "String:" + v.stringPart();
        case Type::Boolean:
            return "Boolean:" + ToString(v);
        case Type::Array:
            return "Array";
        case Type::Object:
            return v.objectPart() ? "Object" : "Nothing";
    }
    return "?";
}

// Runs the statements as the body of a function whose result is the value of R.
std::string RunBody(const std::string& body) {
    Engine engine;
    std::string code = "Function T()\n" + body + "\nT = R\nEnd Function\n";
    if (!engine.addCode(code)) return Describe(engine.error());
    std::optional<Value> result = engine.run("T");
    if (!result) return Describe(engine.error());
    return Show(*result);
}

// The value of T() after the whole code is added, called as "t".
std::string RunCode(const std::string& code) {
    Engine engine;
    if (!engine.addCode(code)) return Describe(engine.error());
    std::optional<Value> result = engine.run("t");
    return result ? Show(*result) : Describe(engine.error());
}

std::string Eval(const std::string& expression) {
    return RunBody("R = " + expression);
}

// The error of running the body ("Error:n" or "Syntax:n"), or "ok".
std::string ErrorOf(const std::string& body, Limits limits = {}) {
    Engine engine(limits);
    if (!engine.addCode("Function T()\n" + body + "\nEnd Function\n"))
        return Describe(engine.error());
    if (!engine.run("T")) return Describe(engine.error());
    return "ok";
}

struct EngineCase {
    std::string group, run, text, expected, name;
    int line = 0;
};

void PrintTo(const EngineCase& c, std::ostream* os) {
    *os << c.run << " " << c.text;
}

std::vector<EngineCase> ReadEngineCases() {
    std::vector<EngineCase> cases;
    std::string group;
    for (const kz::test::CaseLine& c : kz::test::ReadCaseFile("script/engine_cases.txt")) {
        const std::vector<std::string>& f = c.fields;
        if (f[0].starts_with("[")) {
            group = f[0].substr(1, f[0].size() - 2);
        } else {
            cases.push_back({group, f[0], f.size() > 1 ? kz::test::Unescape(f[1]) : "",
                             f.size() > 2 ? f[2] : "", f.size() > 3 ? f[3] : "", c.number});
        }
    }
    return cases;
}

// The group and the case's name, or the letters and digits of its text (other runs as one
// "_") and its line.
std::string CaseName(const ::testing::TestParamInfo<EngineCase>& info) {
    const EngineCase& c = info.param;
    std::string name = c.group + "_" + c.name;
    if (!c.name.empty()) return name;
    for (std::size_t i = 0; i < c.text.size() && name.size() < 48; ++i) {
        if (std::isalnum(static_cast<unsigned char>(c.text[i])))
            name += c.text[i];
        else if (name.back() != '_')
            name += '_';
    }
    return name + (name.back() == '_' ? "" : "_") + std::to_string(c.line);
}

class EngineCaseTest : public ::testing::TestWithParam<EngineCase> {};

TEST_P(EngineCaseTest, GivesTheDocumentedResult) {
    const EngineCase& c = GetParam();
    std::string result = c.run == "eval"    ? Eval(c.text)
                         : c.run == "body"  ? RunBody(c.text)
                         : c.run == "error" ? ErrorOf(c.text)
                         : c.run == "code"  ? RunCode(c.text)
                                            : "unknown run '" + c.run + "'";
    EXPECT_EQ(result, c.expected) << "line " << c.line << ": " << c.text;
}

INSTANTIATE_TEST_SUITE_P(Cases, EngineCaseTest, ::testing::ValuesIn(ReadEngineCases()), CaseName);

TEST(ScriptErrors, SyntaxAndRuntimeErrorsCarryCodeTextAndLine) {
    Engine engine;
    EXPECT_FALSE(engine.addCode("Function F()\r\n  x = 1\r\n  If x Then\r\nEnd Function\r\n"));
    const ScriptError& e = engine.error();
    EXPECT_TRUE(e.isSyntax);
    EXPECT_EQ(e.number, 1012);
    EXPECT_EQ(e.code, int32_t(0x800A03F4u));
    EXPECT_EQ(e.description, "Expected 'If'");
    EXPECT_EQ(e.line, 4);
    ASSERT_TRUE(CheckSyntax("x = (1"));
    EXPECT_EQ(CheckSyntax("x = (1")->number, 1006);
    EXPECT_FALSE(CheckSyntax("x = (1)"));
    // A run-time error, and a function that is not there.
    Engine running;
    EXPECT_FALSE(running.run("Missing"));
    EXPECT_EQ(running.error().code, int32_t(0x80020006u));
    ASSERT_TRUE(running.addCode("Function F()\n  a = 1\n  F = a / 0\nEnd Function\n"));
    EXPECT_FALSE(running.run("F"));
    const ScriptError& r = running.error();
    EXPECT_FALSE(r.isSyntax);
    EXPECT_EQ(r.code, int32_t(0x800A000Bu));
    EXPECT_EQ(r.description, "Division by zero");
    EXPECT_EQ(r.line, 3);
}

Limits Short() {
    Limits limits;
    limits.time = std::chrono::milliseconds(100);
    return limits;
}

TEST(Bounds, EndlessLoopsAreStoppedEvenUnderResumeNextOrInACalledFunction) {
    for (const char* code : {"Do : Loop", "While True : Wend", "For i = 1 To 2 Step 0 : Next",
                             "On Error Resume Next\nDo\nx = 1 / 0\nLoop"}) {
        Engine engine(Short());
        EXPECT_FALSE(engine.addCode(code)) << code;
        EXPECT_EQ(engine.error().code, kTimeoutCode) << code;
        EXPECT_EQ(engine.error().number, kTimedOut) << code;
        EXPECT_FALSE(engine.error().isSyntax);
    }
    Engine engine(Short());
    ASSERT_TRUE(engine.addCode("Function F()\nDo\nF = F + 1\nLoop\nEnd Function"));
    EXPECT_FALSE(engine.run("F"));
    EXPECT_EQ(engine.error().code, kTimeoutCode);
    // The engine stays usable for the next call, with a fresh time budget.
    ASSERT_TRUE(engine.addCode("Function G()\nG = 2\nEnd Function"));
    EXPECT_EQ(Show(*engine.run("G")), "Integer:2");
}

TEST(Bounds, DeepRecursionStopsWithOutOfStackSpace) {
    for (const char* code : {"Function R(n)\nR = R(n + 1)\nEnd Function",
                             "Function R(n)\nOn Error Resume Next\nR = R(n + 1)\nEnd Function",
                             "Sub R(ByRef a)\nDim b(10)\nR b\nEnd Sub"}) {
        Engine engine;
        ASSERT_TRUE(engine.addCode(code));
        EXPECT_FALSE(engine.run("R", {Value::integer(0)})) << code;
        EXPECT_EQ(engine.error().number, kOutOfStack) << code;
    }
}

TEST(Bounds, MemoryHungryScriptsFailWithOutOfMemory) {
    // Only the memory bounds may stop these, however slow or busy the machine.
    Limits unhurried;
    unhurried.time = std::chrono::minutes(10);
    for (const char* body : {"s = \"x\"\nDo\ns = s & s\nLoop", "ReDim a(100000000)",
                             "Dim a(5000, 5000)", "s = Space(100000000)",
                             "s = String(2000, \"x\")\nDo\ns = Replace(s, \"x\", \"xx\")\nLoop",
                             "On Error Resume Next\ns = \"x\"\nDo\ns = s + s\nLoop",
                             // Each string within its own limit, too many kept in all.
                             "ReDim a(1000)\nFor i = 0 To 1000\na(i) = Space(4000000)\nNext"}) {
        std::string result = ErrorOf(body, unhurried);
        EXPECT_TRUE(result == "Error:7" || result == "Syntax:1026") << body << " " << result;
    }
    EXPECT_EQ(ErrorOf("ReDim a(100000000)", unhurried), "Error:7");
}

TEST(Bounds, DeepNestingIsASyntaxErrorNotACrash) {
    std::string parens = "x = " + std::string(5000, '(') + "1" + std::string(5000, ')');
    std::string chain = "x = 1";
    for (int i = 0; i < 20000; ++i) chain += " + 1";
    std::string nots = "x = ";
    for (int i = 0; i < 20000; ++i) nots += "Not ";
    nots += "1";
    std::string ifs;
    for (int i = 0; i < 5000; ++i) ifs += "If x Then\n";
    std::string members = "x = a";
    for (int i = 0; i < 20000; ++i) members += ".b";
    for (const std::string& code : {parens, chain, nots, ifs, members}) {
        std::optional<ScriptError> error = CheckSyntax(code);
        ASSERT_TRUE(error);
        EXPECT_TRUE(error->isSyntax);
    }
    // Ordinary nesting is well within the bounds.
    EXPECT_EQ(Eval("((((((((((1 + 2))))))))))"), "Integer:3");
}

TEST(Concurrency, EnginesOnManyThreadsShareNothing) {
    constexpr int kThreads = 8;
    std::vector<std::string> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &results] {
            // One thread loops forever; the others are not held up by its bound.
            if (t == 0) {
                Engine engine(Short());
                engine.addCode("Do : Loop");
                results[0] = std::to_string(engine.error().code);
                return;
            }
            std::string total;
            for (int round = 0; round < 20; ++round) {
                Engine engine;
                engine.addCode(
                    "Dim total\nFunction Sum(n)\nFor i = 1 To n\ntotal = total + i\n"
                    "Next\nSet re = New RegExp\nre.Pattern = \"(\\d)$\"\n"
                    "Sum = re.Replace(CStr(total), \"<$1>\")\nEnd Function");
                std::optional<Value> v = engine.run("Sum", {Value::integer(int16_t(t * 10))});
                total = v ? ToString(*v) : "failed";
            }
            results[std::size_t(t)] = total;
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(results[0], std::to_string(kTimeoutCode));
    for (int t = 1; t < kThreads; ++t) {
        int n = t * 10, sum = n * (n + 1) / 2;
        std::string text = std::to_string(sum);
        EXPECT_EQ(results[std::size_t(t)],
                  text.substr(0, text.size() - 1) + "<" + text.back() + ">");
    }
}

}  // namespace
}  // namespace kz::script::test
