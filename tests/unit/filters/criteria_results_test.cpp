#include "filters/criteria_results.h"

#include <gtest/gtest.h>

#include "filters/filter_table.h"

namespace kz::filters {
namespace {

TEST(CriterionSlot, InstanceDataAndPlacedInstances) {
    CriterionSlot single{1, "free\toffer", 1, 1};
    EXPECT_EQ(single.instanceData(0), "free\toffer");         // one instance: tabs are alternatives
    EXPECT_EQ(single.instanceData(0, TextLimit{5}), "free");  // cut to the buffer
    EXPECT_EQ(single.resultInstanceCount(), 1);

    CriterionSlot several{1, "free\t" + std::string(30, 'x'), 0, 2};
    EXPECT_EQ(several.instanceData(0), "free");
    EXPECT_EQ(several.instanceData(1, TextLimit{30}), "");  // a field that does not fit reads empty
    EXPECT_EQ(several.instanceData(2), "");                 // absent

    EXPECT_EQ((CriterionSlot{1, "", 0, 16}).resultInstanceCount(), 16);
    EXPECT_EQ((CriterionSlot{1, "", 0, 40}).resultInstanceCount(), kMaxInstances);
    EXPECT_EQ((CriterionSlot{}).resultInstanceCount(), 0);
}

TEST(CriterionFromKeyword, IgnoresCaseOfTheWholeKeyword) {
    EXPECT_EQ(CriterionFromKeyword("SUBJECT"), SUBJECT);
    EXPECT_EQ(CriterionFromKeyword("toorcc"), TOorCC);
    EXPECT_EQ(CriterionFromKeyword("Country_NoMatch"), COUNTRY_NOMATCH);
    EXPECT_EQ(CriterionFromKeyword("IPADDRESS"), IPADDRESS);  // not IPADDRESS_WHITELISTED
    EXPECT_EQ(CriterionFromKeyword("SUBJECTS"), -1);
    EXPECT_EQ(CriterionFromKeyword(""), -1);
}

}  // namespace
}  // namespace kz::filters
