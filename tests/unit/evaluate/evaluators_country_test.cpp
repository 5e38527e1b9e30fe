#include <gtest/gtest.h>

#include "evaluate/evaluators_text.h"
#include "unit/evaluate/evaluators_fixture.h"

namespace kz::filters {
namespace {

// The list filter has US and DE on both country kinds; the country filter has
// COUNTRY_NOMATCH with DE alone.
class CountryTest : public UncachedEvaluatorTest {
  protected:
    std::string evaluate(std::string_view country) {
        return traceOf([&] {
            evaluation.offer(COUNTRY_MATCH, country, kWordDelimiters);
            evaluation.offer(COUNTRY_NOMATCH, country, kWordDelimiters);
        });
    }
};

TEST_F(CountryTest, ListedCountryMatchesAndEveryOtherListedOneCountsAgainst) {
    std::string trace = evaluate("DE");
    EXPECT_EQ(block(kLists).hitCount[COUNTRY_MATCH], 1);
    EXPECT_EQ(block(kLists).matchText[COUNTRY_MATCH], "<MF-W>DE</MF-W>");
    EXPECT_EQ(block(kLists).hitCount[COUNTRY_NOMATCH], 1);  // US
    EXPECT_EQ(block(kLists).matchText[COUNTRY_NOMATCH], "<MF-W>US</MF-W>");
    EXPECT_EQ(block(kLists).instanceValue[COUNTRY_NOMATCH][0], "1");
    EXPECT_EQ(block(kCountry).hitCount[COUNTRY_NOMATCH], 0);
    EXPECT_EQ(block(kOff).hitCount[COUNTRY_NOMATCH], 0);
    EXPECT_EQ(trace,
              "Message General Criteria met against [DE] in specified word list.\n"
              "Message General Criteria met against [US] in specified word list.\n");
}

TEST_F(CountryTest, UnlistedCountryCountsOncePerListedCountry) {
    evaluate("fr");
    EXPECT_EQ(block(kLists).hitCount[COUNTRY_MATCH], 0);
    EXPECT_EQ(block(kLists).hitCount[COUNTRY_NOMATCH], 2);
    EXPECT_EQ(block(kLists).matchText[COUNTRY_NOMATCH], "<MF-W>DE</MF-W>");
    EXPECT_EQ(block(kCountry).hitCount[COUNTRY_NOMATCH], 1);

    newResults();
    evaluate("de");  // case folded like every other list
    EXPECT_EQ(block(kLists).hitCount[COUNTRY_MATCH], 1);
    EXPECT_EQ(block(kCountry).hitCount[COUNTRY_NOMATCH], 0);
}

}  // namespace
}  // namespace kz::filters
