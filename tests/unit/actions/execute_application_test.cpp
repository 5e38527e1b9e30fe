#include "actions/execute_application.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "platform/files.h"
#include "unit/actions/actions_fixture.h"
#include "unit/platform/scoped_env.h"

namespace kz::test {
namespace {

using actions::ExecuteApplication;
using actions::ExpandCommandLine;

class ExecuteApplicationTest : public ActionsTest {
  protected:
    std::string output() const { return dir_.file("args.txt"); }
    ScopedEnv argsEnv_{"KZ_ARGS_OUT", output()};
};

// That tokens become the arguments is shown through the loaded library (DispatchActions).
TEST_F(ExecuteApplicationTest, ShellTextIsAnArgumentNotACommand) {
    std::string marker = dir_.file("injected");
    EXPECT_EQ(ExecuteApplication(context(), fixture("actions/args_to_file.sh"),
                                 "\"a; touch " + marker + "\" $(id)"),
              1);
    EXPECT_EQ(readFile(output()), "a; touch " + marker + "\n$(id)\n");
    EXPECT_EQ(platform::fileStatus(marker), platform::FileStatus::NotFound);
}

TEST_F(ExecuteApplicationTest, AProgramOutlivingTheBoundIsEnded) {
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(ExecuteApplication(context(), fixture("actions/sleeps.sh"), "",
                                 std::chrono::milliseconds(200)),
              1);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_FALSE(ExecuteApplication(context(), dir_.file("missing-program"), "x"));
}

TEST_F(ExecuteApplicationTest, ExpandsEveryTokenInOrder) {
    std::string line = ExpandCommandLine(context(), "prog", "[ID][ID] [CONNECTOR] [TIME] [id]");
    std::string expected = "prog " + std::string(kMessageId) + std::string(kMessageId) + " " +
                           std::string(kConnector) + " ";
    ASSERT_EQ(line.substr(0, expected.size()), expected);
    EXPECT_EQ(line.find("[TIME]"), std::string::npos);
    EXPECT_NE(line.find(" [id]"), std::string::npos);
    // A line grown past its bound is cut.
    std::string many;
    for (int i = 0; i < 100; ++i) many += "[ID]";
    EXPECT_EQ(ExpandCommandLine(context(), "p", many).size(), 2046u);
}

}  // namespace
}  // namespace kz::test
