#include "platform/event_log.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "support/test_support.h"
#include "unit/platform/scoped_env.h"

namespace kz::platform {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The line after its "YYYY-MM-DD HH:MM:SS" stamp and tab; "BAD STAMP" when it has none.
std::string afterStamp(const std::string& line) {
    const std::string shape = "dddd-dd-dd dd:dd:dd\t";
    if (line.size() < shape.size()) return "BAD STAMP";
    for (size_t i = 0; i < shape.size(); ++i) {
        bool fits = shape[i] == 'd' ? (line[i] >= '0' && line[i] <= '9') : line[i] == shape[i];
        if (!fits) return "BAD STAMP";
    }
    return line.substr(shape.size());
}

TEST(EventLog, FileLineCarriesTypeSourceIdAndFlattenedStrings) {
    test::TempDir dir;
    test::ScopedEnv env("KZ_EVENTLOG", dir.file("events.log"));
    reportEvent("Kaztrel", EventType::Information, 1073741825,
                {"HasORBDBEntry handled an exception; session will be dropped.\r\n"
                 "The exception was: bad\nLine Trace = 3\n",
                 "second\rpart"});
    reportEvent("Src", EventType::Error, 7, {});
    reportEvent("Src", EventType::Warning, 8, {"w"});
    reportEvent("Src", EventType::Success, 9, {"", "s"});

    std::vector<std::string> lines = linesOf(test::readFile(dir.file("events.log")));
    ASSERT_EQ(lines.size(), 4u);
    const char* rest[] = {
        "Information\tKaztrel\t1073741825\tHasORBDBEntry handled an exception; session will be "
        "dropped. The exception was: bad Line Trace = 3 | second part",
        "Error\tSrc\t7\t",
        "Warning\tSrc\t8\tw",
        "Success\tSrc\t9\t | s",
    };
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(afterStamp(lines[i]), rest[i]);
}

TEST(EventLog, ConcurrentReportsStayWholeLines) {
    test::TempDir dir;
    test::ScopedEnv env("KZ_EVENTLOG", dir.file("events.log"));
    const std::string payload(300, 'x');
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i)
                reportEvent("T" + std::to_string(t), EventType::Warning, uint32_t(i), {payload});
        });
    }
    for (auto& th : threads) th.join();

    std::vector<std::string> lines = linesOf(test::readFile(dir.file("events.log")));
    ASSERT_EQ(lines.size(), 400u);
    std::vector<int> perThread(4);
    for (const std::string& line : lines) {
        std::string rest = afterStamp(line);
        ASSERT_EQ(rest.rfind("Warning\tT", 0), 0u) << line;
        int t = rest[9] - '0';
        ASSERT_TRUE(t >= 0 && t < 4) << line;
        std::string tail = "\t" + std::to_string(perThread[t]++) + "\t" + payload;
        EXPECT_EQ(rest.substr(10), tail) << line;  // whole, and in each thread's order
    }
}

}  // namespace
}  // namespace kz::platform
