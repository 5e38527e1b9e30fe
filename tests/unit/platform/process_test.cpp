#include "platform/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace kz::platform {
namespace {

using std::chrono::milliseconds;
using Args = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheWindowsRuntimeRules) {
    struct Case {
        const char* line;
        Args args;
    } cases[] = {
        {R"(p "a b c" d e)", {"p", "a b c", "d", "e"}},
        {R"(p "ab\"c" "\\" d)", {"p", "ab\"c", "\\", "d"}},
        {R"(p a\\\b d"e f"g h)", {"p", R"(a\\\b)", "de fg", "h"}},
        {R"(p a\\\"b c d)", {"p", R"(a\"b)", "c", "d"}},
        {R"(p a\\\\"b c" d e)", {"p", R"(a\\b c)", "d", "e"}},
        {R"(p a"b"" c d)", {"p", R"(ab" c d)"}},  // "" inside quotes, quoting goes on
        {R"(p "a""b")", {"p", R"(a"b)"}},
        {R"(p "" x "")", {"p", "", "x", ""}},       // empty quoted arguments count
        {R"(p a\ b\\)", {"p", R"(a\)", R"(b\\)"}},  // trailing backslashes stay
        {R"(p "C:\dir\\" next)", {"p", R"(C:\dir\)", "next"}},
        {"p \t a\t\tb  ", {"p", "a", "b"}},
        {R"(p "open ended)", {"p", "open ended"}},
        // The program name: quotes group and vanish, backslashes stay as they are.
        {R"("C:\Program Files\x.exe" -a)", {R"(C:\Program Files\x.exe)", "-a"}},
        {R"(C:\a\"b c"\d e)", {R"(C:\a\b c\d)", "e"}},
        {R"(prog\\" x)", {R"(prog\\ x)"}},
        {" leading", {"", "leading"}},
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(splitCommandLine(c.line), c.args) << c.line;
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
