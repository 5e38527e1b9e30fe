#include "platform/codepage.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <thread>
#include <vector>

#include "support/case_file.h"

namespace kz::platform {
namespace {

const auto kCases = test::ReadCaseGroups("platform/codepage_cases.txt");

TEST(CodePage, ConvertsBothWays) {
    EXPECT_EQ(kCases.at("RoundTrip").size(), 14u);
    for (const test::CaseLine& c : kCases.at("RoundTrip")) {
        const unsigned codePage = unsigned(std::stoul(c.fields[0]));
        const std::string bytes = test::Unescape(c.fields[1]), utf8 = test::Unescape(c.fields[2]);
        EXPECT_EQ(toUtf8(bytes, codePage), utf8) << "line " << c.number;
        EXPECT_EQ(fromUtf8(utf8, codePage), bytes) << "line " << c.number;
    }
    for (const test::CaseLine& c : kCases.at("ToUtf8"))
        EXPECT_EQ(toUtf8(test::Unescape(c.fields[1]), unsigned(std::stoul(c.fields[0]))),
                  test::Unescape(c.fields[2]))
            << "line " << c.number;
}

TEST(CodePage, InvalidOrUnmappableInputGivesNull) {
    EXPECT_EQ(kCases.at("Invalid").size(), 6u);
    for (const test::CaseLine& c : kCases.at("Invalid"))
        EXPECT_FALSE(toUtf8(test::Unescape(c.fields[1]), unsigned(std::stoul(c.fields[0]))))
            << "line " << c.number;
    for (const test::CaseLine& c : kCases.at("Unmappable"))
        EXPECT_FALSE(fromUtf8(test::Unescape(c.fields[1]), unsigned(std::stoul(c.fields[0]))))
            << "line " << c.number;

    for (unsigned cp : {0u, 1u, 12345u, 57002u, 99999u}) {  // unknown code pages
        EXPECT_FALSE(isCodePageSupported(cp)) << cp;
        EXPECT_FALSE(toUtf8("abc", cp)) << cp;
        EXPECT_FALSE(fromUtf8("abc", cp)) << cp;
    }
}

TEST(CodePage, EveryMappedCodePageWorksOnThisMachine) {
    int mapped = 0;
    for (unsigned cp = 0; cp < 70000; ++cp) {
        if (!iconvNameForCodePage(cp)) continue;
        ++mapped;
        EXPECT_TRUE(isCodePageSupported(cp)) << cp << " " << iconvNameForCodePage(cp);
        EXPECT_TRUE(fromUtf8("AZ09", cp)) << cp;  // 20290 has no lower case
    }
    EXPECT_GT(mapped, 100);
    EXPECT_TRUE(isCodePageSupported(52936));
}

TEST(CodePage, Windows1252AgreesWithIconvWhereBothDefineAByte) {
    iconv_t cd = ::iconv_open("UTF-8", "CP1252");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    for (int b = 0x01; b <= 0xFF; ++b) {
        char in = char(b), out[8] = {};
        char* inPtr = &in;
        char* outPtr = out;
        size_t inLeft = 1, outLeft = sizeof out;
        if (::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == size_t(-1)) continue;
        EXPECT_EQ(toUtf8(std::string(1, char(b)), 1252), std::string(out, outPtr)) << b;
    }
    ::iconv_close(cd);
}

TEST(CodePage, StrictUtf8) {
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_EQ(kCases.at("ValidUtf8").size(), 7u);
    for (const test::CaseLine& c : kCases.at("ValidUtf8"))
        EXPECT_TRUE(isValidUtf8(test::Unescape(c.fields[0]))) << "line " << c.number;
    EXPECT_EQ(kCases.at("InvalidUtf8").size(), 11u);
    for (const test::CaseLine& c : kCases.at("InvalidUtf8")) {
        const std::string s = test::Unescape(c.fields[0]);
        EXPECT_FALSE(isValidUtf8(s)) << "line " << c.number;
        EXPECT_FALSE(fromUtf8(s, 65001)) << "line " << c.number;
        EXPECT_FALSE(toUtf8(s, 65001)) << "line " << c.number;
        EXPECT_FALSE(fromUtf8(s, 28591)) << "line " << c.number;
    }
}

TEST(CodePage, ConcurrentConversionsKeepTheirOwnState) {
    const std::string jis = "\x1B$BF|K\\\x1B(B";
    const std::string utf8 = "\xE6\x97\xA5\xE6\x9C\xAC";
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (size_t t = 0; t < wrong.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                if (toUtf8(jis, 50220) != utf8 || fromUtf8(utf8, 50220) != jis) ++wrong[t];
            }
        });
    }
    for (std::thread& t : threads) t.join();
    for (int w : wrong) EXPECT_EQ(w, 0);
}

}  // namespace
}  // namespace kz::platform
