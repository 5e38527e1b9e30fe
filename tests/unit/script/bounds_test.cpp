// The bounds of a run (time, calls, stack, memory, nesting) and engines on many threads.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "script/error.h"
#include "script_eval.h"

namespace kz::script::test {
namespace {

Limits Short() {
    Limits limits;
    limits.time = std::chrono::milliseconds(100);
    return limits;
}

TEST(Bounds, EndlessLoopsAreStoppedEvenUnderResumeNext) {
    for (const char* code : {"Do : Loop", "While True : Wend", "For i = 1 To 2 Step 0 : Next",
                             "On Error Resume Next\nDo\nx = 1 / 0\nLoop"}) {
        Engine engine(Short());
        EXPECT_FALSE(engine.addCode(code)) << code;
        EXPECT_EQ(engine.error().code, kTimeoutCode) << code;
        EXPECT_EQ(engine.error().number, kTimedOut) << code;
        EXPECT_FALSE(engine.error().isSyntax);
    }
}

TEST(Bounds, EndlessLoopInACalledFunctionIsStopped) {
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
