// The agent library loaded with LoadLibrary, as the MTA loads it, filtering the sample
// messages of the dispatch cases. A case's outcome, its report lines without their time
// stamps and every file the run left in the queue, bad-mail and quarantine folders, must
// be byte for byte the outcome the Linux library gives, which
// tests/fixtures/dispatch/<case>/outcome.txt holds.

#include <gtest/gtest.h>
#include <windows.h>

#include "loaded_agent.h"
#include "windows_test_support.h"

namespace kz::test {
namespace {

struct DispatchCase {
    std::string name;
    std::vector<std::pair<std::string, std::string>> messages;  // id, sample
};

void PrintTo(const DispatchCase& c, std::ostream* out) {
    *out << c.name;
}

class Dispatch : public testing::TestWithParam<DispatchCase> {};

TEST_P(Dispatch, TheOutcomeIsTheLinuxOutcome) {
    const DispatchCase& c = GetParam();
    LoadedAgent agent(c.name);
    std::vector<std::string> ids;
    for (const auto& [id, sample] : c.messages) {
        agent.queue(id, sample);
        ids.push_back(id);
    }
    agent.filter(ids);
    EXPECT_EQ(agent.outcome(), readWhole(fixture("dispatch/" + c.name + "/outcome.txt")));
}

// Lines: disabled and short action lines, a failing MOVE, a stop in the middle and a
// lower-case keyword. Verdicts: all-of and any-of tables and a criteria script.
INSTANTIATE_TEST_SUITE_P(
    Cases, Dispatch,
    testing::Values(DispatchCase{"lines", {{"PRIZE.MAI", "prize"}, {"FIGURES.MAI", "figures"}}},
                    DispatchCase{"verdicts", {{"PRIZE.MAI", "prize"}}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace kz::test
