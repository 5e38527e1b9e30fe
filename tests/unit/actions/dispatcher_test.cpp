#include <gtest/gtest.h>

#include <algorithm>

#include "unit/actions/dispatch_fixture.h"

namespace kz::test {
namespace {

using filters::CriterionType;

class DispatcherTest : public DispatchTest {
  protected:
    void hit(int position, CriterionType kind, const std::string& text) {
        results.block(position).hitCount[kind] = 1;
        results.block(position).matchText[kind] = text;
    }

    // A criteria table enabling the given kinds with threshold 1.
    static std::string criteria(std::initializer_list<CriterionType> kinds) {
        std::string text;
        for (int kind = 0; kind < filters::kCriterionCount; ++kind) {
            bool on = std::find(kinds.begin(), kinds.end(), CriterionType(kind)) != kinds.end();
            text += std::string(on ? "1" : "0") + "\t" +
                    std::string(filters::KindOf(kind).keyword) + "\tx\t\t\t1\n";
        }
        return text;
    }
};

// Which filters hold and what each action line does are shown through the loaded library
// (tests/e2e/dispatch_*); here only what a run there cannot set up.
TEST_F(DispatcherTest, ASubjectPrefixThatFoundNoSubjectIsNotReported) {
    configure(
        "Spam\t1\tSPAM\t\tSpam words\r\n",
        {{"CRITERIA/SPAM.TAB", criteria({filters::SUBJECT})},
         {"ACTIONS/SPAM.TAB", "1\t\t[SPAM] \tADD_SUBJECT_PREFIX\t\n1\t\t\tCOPY_TO_BADMAIL\t\n"}});
    hit(1, filters::SUBJECT, "<MF-W>win</MF-W>");
    writeFile(messageFile(), "From: a@example.org\n\nSubject: only in the body\n");
    dispatch();
    EXPECT_NE(report.find("\tCOPY_TO_BADMAIL\t"), std::string::npos) << report;
    EXPECT_EQ(report.find("ADD_SUBJECT_PREFIX"), std::string::npos) << report;
}

}  // namespace
}  // namespace kz::test
