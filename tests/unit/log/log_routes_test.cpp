// The routes and the sharing of the daily file, seen from helper processes that write
// through the DebugLog as attached agents.

#include <gtest/gtest.h>

#include <future>
#include <map>
#include <regex>
#include <sstream>

#include "log/report_lines.h"
#include "platform/files.h"
#include "unit/log/log_test_env.h"

namespace kz::log {
namespace {

class LogRoutesTest : public testing::LogTest {
  protected:
    test::RunOutput write(const std::string& tag, int threads, int lines) {
        return test::run({test::binPath("kztest-log_writer"), registryPath, tag,
                          std::to_string(threads), std::to_string(lines)},
                         {"KZ_RUNTIME_DIR=" + dir.path()});
    }

    std::vector<std::string> reportFiles() const {
        std::vector<std::string> names;
        for (const std::string& name : platform::listDirectory(logDir))
            if (name.rfind("MTAFILTER-Report-", 0) == 0) names.push_back(name);
        return names;
    }
};

TEST_F(LogRoutesTest, EachActivityLogValueChoosesItsRoute) {
    const std::string payload(300, 'r');
    const std::string line0 = "r 0 0 " + payload + "\n";
    const std::string line1 = "r 0 1 " + payload + "\n";
    struct Case {
        uint32_t enabled;
        std::string out, err;
        bool file;
    };
    const Case cases[] = {
        {0, "", "", false},
        {1, "", "", true},
        {2, " " + line0 + " " + line1, "", false},  // the empty time stamp and a blank
        {3, "", line0 + line1, false},
        {4, "", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.enabled);
        setAgentDword(config::reg::kActivityLogEnabled, c.enabled);
        test::RunOutput output = write("r", 1, 2);
        ASSERT_EQ(output.status, 0) << output.err;
        EXPECT_EQ(output.out, c.out);
        EXPECT_EQ(output.err, c.err);
        EXPECT_EQ(!reportFiles().empty(), c.file);
        for (const std::string& name : reportFiles()) platform::removeFile(logDir + "/" + name);
    }
}

// Two processes with several threads each share one daily file: every line arrives
// whole, once, with its time stamp.
TEST_F(LogRoutesTest, ConcurrentWritersProduceOnlyWholeLines) {
    constexpr int kThreads = 4;
    constexpr int kLines = 300;
    auto first = std::async(std::launch::async, [&] { return write("a", kThreads, kLines); });
    auto second = std::async(std::launch::async, [&] { return write("b", kThreads, kLines); });
    ASSERT_EQ(first.get().status, 0);
    ASSERT_EQ(second.get().status, 0);

    const std::string header(kReportHeader.substr(0, kReportHeader.size() - 1));
    const std::string dashes = "\t-\t-\t-\t-\t-\t-\t-\t-";
    const std::regex stampedLine("\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\t(.*)");
    std::map<std::string, int> seen;
    int markers = 0;
    // A change of day during the run would split the lines over two files.
    for (const std::string& name : reportFiles()) {
        std::string content = test::readFile(logDir + "/" + name);
        ASSERT_EQ(content.back(), '\n');
        std::istringstream lines(content);
        for (std::string line; std::getline(lines, line);) {
            if (line == header) {
                ++markers;
                continue;
            }
            // "MM/DD/YY HH:MM:SS" and a tab, then the rest of the line.
            std::smatch stamped;
            ASSERT_TRUE(std::regex_match(line, stamped, stampedLine)) << line.substr(0, 120);
            const std::string rest = stamped[1];
            if (rest == "Start" + dashes || rest == "End" + dashes) {
                ++markers;
                continue;
            }
            // "TAG THREAD LINE PAYLOAD", the payload 300 times the tag.
            std::istringstream fields{rest};
            std::string tag, thread, number, payload, extra;
            fields >> tag >> thread >> number >> payload;
            ASSERT_TRUE((tag == "a" || tag == "b") && !(fields >> extra)) << line.substr(0, 120);
            EXPECT_EQ(payload, std::string(300, tag[0]));
            ++seen[tag + " " + thread + " " + number];
        }
    }
    EXPECT_EQ(seen.size(), size_t(2 * kThreads * kLines));
    for (const auto& [key, count] : seen) EXPECT_EQ(count, 1) << key;
    EXPECT_GE(markers, 6);  // each process: header, Start, End
}

}  // namespace
}  // namespace kz::log
