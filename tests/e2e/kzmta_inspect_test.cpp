// kzmta inspect: the headers, parts and bodies of a message as the scan sees them.

#include <gtest/gtest.h>

#include <map>

#include "support/case_file.h"
#include "support/test_support.h"

namespace kz::test {
namespace {

RunOutput inspect(const std::vector<std::string>& extra) {
    std::vector<std::string> argv = {binPath("kzmta"), "inspect"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return run(argv);
}

TEST(KzmtaInspect, JsonAndTextFormsAndErrors) {
    std::map<std::string, RunOutput> outputs;  // by file and form
    for (const CaseLine& c : ReadCaseFile("tools/inspect_cases.txt")) {
        RunOutput& out = outputs[c.fields[0] + " " + c.fields[1]];
        if (out.status == -1) {
            std::vector<std::string> args = {fixture("tools/inspect/" + c.fields[0])};
            if (c.fields[1] == "json") args.push_back("--json");
            out = inspect(args);
            ASSERT_EQ(out.status, 0) << out.err;
        }
        EXPECT_EQ(out.out.find(Unescape(c.fields[3])) != std::string::npos, c.fields[2] == "1")
            << "inspect_cases.txt:" << c.number << "\n"
            << out.out;
    }
    RunOutput missing = inspect({fixture("tools/inspect/none.eml")});
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.err.find("no message file"), std::string::npos) << missing.err;
    EXPECT_NE(inspect({}).status, 0);
}

}  // namespace
}  // namespace kz::test
