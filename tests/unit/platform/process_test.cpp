#include "platform/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "support/case_file.h"

namespace kz::platform {
namespace {

using std::chrono::milliseconds;
using Args = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheWindowsRuntimeRules) {
    const auto cases = test::ReadCaseFile("platform/command_lines.txt");
    EXPECT_EQ(cases.size(), 15u);
    for (const test::CaseLine& c : cases) {
        EXPECT_EQ(splitCommandLine(c.fields[0]), Args(c.fields.begin() + 1, c.fields.end()))
            << "line " << c.number << ": " << c.fields[0];
    }
    EXPECT_EQ(splitCommandLine("p \t a\t\tb  "), (Args{"p", "a", "b"}));
    EXPECT_EQ(splitCommandLine(""), Args{});
}

TEST(RunProcess, ReportsExitCodeSignalOrTheKillAtTheBound) {
    ProcessResult code = runProcess(R"(sh -c "exit 7")", milliseconds(30000));
    EXPECT_TRUE(code.started && code.finished && !code.killed);
    EXPECT_EQ(code.exitCode, 7);
    ProcessResult signalled = runProcess(Args{"sh", "-c", "kill -TERM $$"}, milliseconds(30000));
    EXPECT_TRUE(signalled.finished);
    EXPECT_EQ(signalled.signal, SIGTERM);
    EXPECT_EQ(signalled.exitCode, -1);
    ProcessResult late = runProcess("sleep 30", milliseconds(100));
    EXPECT_TRUE(late.started && !late.finished && late.killed);
}

TEST(RunProcess, MissingProgramIsNotStarted) {
    for (const char* line : {"/nonexistent/kz-program", "kz-no-such-program-here arg", "", " x"}) {
        ProcessResult r = runProcess(line, milliseconds(1000));
        EXPECT_FALSE(r.started) << line;
        EXPECT_EQ(r.errorCode, ENOENT) << line;
        EXPECT_FALSE(r.error.empty()) << line;
    }
}

TEST(RunProcess, ArgumentsReachTheProgramUnchangedWithoutAShell) {
    ProcessResult r =
        runProcess(R"(sh -c "test \"$1\" = 'a b;$HOME*'" sh "a b;$HOME*")", milliseconds(30000));
    EXPECT_EQ(r.exitCode, 0);
}

TEST(RunProcess, ChildGetsEmptyInputAndNoneOfOurDescriptors) {
    // Not close-on-exec on purpose: the child must still not see it.
    int fd = open("/dev/null", O_RDONLY);
    ASSERT_GE(fd, 3);
    std::string probe = "[ ! -e /proc/self/fd/" + std::to_string(fd) + " ] && ! read line";
    ProcessResult r = runProcess(Args{"sh", "-c", probe}, milliseconds(30000));
    close(fd);
    EXPECT_EQ(r.exitCode, 0);
}

}  // namespace
}  // namespace kz::platform
