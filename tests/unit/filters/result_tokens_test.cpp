#include "filters/result_tokens.h"

#include <gtest/gtest.h>

#include <string>

namespace kz::filters {
namespace {

const std::string kDescription =
    "<MSG>ID1.MAI</MSG><CON>SMTP</CON><ACCOUNT></ACCOUNT><SENDER>a@example.com</SENDER>"
    "<IP>10.0.0.1</IP><CRITERIA>SUBJECT</CRITERIA><MF-W>viagra</MF-W><MF-W>cialis</MF-W>";

std::string expand(std::string_view description, std::string text, std::size_t size = 1024,
                   int encode = 0) {
    ExpandResultTokens(description, text, size, encode);
    return text;
}

TEST(ExpandResultTokens, ReplacesTheTokenOfEachElement) {
    EXPECT_EQ(
        expand(kDescription, "[KZ_CRITERIA] from [KZ_SENDER] via [KZ_CON]/[KZ_CON] ([KZ_ACCOUNT])"),
        "SUBJECT from a@example.com via SMTP/SMTP ()");
    // A repeated tag gives the value of its first element; unknown tokens stay.
    EXPECT_EQ(expand(kDescription, "[KZ_MF-W] [KZ_WORDLIST] [KZ_URLBL] [KZ_criteria]"),
              "viagra viagra,cialis [KZ_URLBL] [KZ_criteria]");
    EXPECT_EQ(expand("", "[KZ_MSG] [KZ_WORDLIST]"), "[KZ_MSG] ");
}

TEST(ExpandResultTokens, WordListTakesWordsBeforeAddresses) {
    const std::string description =
        "<MF-R>*@spam.example</MF-R><MF-W>viagra</MF-W><MF-R>x@y</MF-R><MF-W>" +
        std::string(200, 'w') + "</MF-W>";
    EXPECT_EQ(expand(description, "<[KZ_WORDLIST]>"),
              "<viagra," + std::string(127, 'w') + ",*@spam.example,x@y>");
}

TEST(ExpandResultTokens, ValuesThatDoNotFitAreSkipped) {
    const std::string description = "<A>0123456789</A><B>xy</B>";
    // Template of 12 characters: 10 + 12 = 22 needs a buffer of 23.
    EXPECT_EQ(expand(description, "[KZ_A][KZ_B]", 23), "0123456789xy");
    EXPECT_EQ(expand(description, "[KZ_A][KZ_B]", 22), "[KZ_A]xy");
    // The check is made once per element; repeated tokens are cut to the buffer.
    EXPECT_EQ(expand(description, "[KZ_A][KZ_A][KZ_A]", 30), "01234567890123456789012345678");
}

TEST(ExpandResultTokens, EncodesValuesForHeaders) {
    const std::string description = "<MF-W>a=b?c_d \xC3\xA9\t</MF-W>";
    EXPECT_EQ(expand(description, "[KZ_MF-W]", 1024, 1), "a=3Db=3Fc=5Fd =C3=A9=09");
    EXPECT_EQ(expand(description, "[KZ_MF-W]", 1024, 0), "a=b?c_d \xC3\xA9\t");
    // The word list is never encoded.
    EXPECT_EQ(expand(description, "[KZ_WORDLIST]", 1024, 1), "a=b?c_d \xC3\xA9\t");
}

TEST(ExpandResultTokens, ElementsAreFoundFromTheirClosingTags) {
    // A "</" inside a value costs no later element; a tag without its closing element
    // leaves its token alone.
    EXPECT_EQ(expand("<A>x</y</A><B>2</B>", "[KZ_A][KZ_B]"), "x</y2");
    EXPECT_EQ(expand("<A>1</B><B>2</B>", "[KZ_A][KZ_B]"), "[KZ_A]2");
}

}  // namespace
}  // namespace kz::filters
