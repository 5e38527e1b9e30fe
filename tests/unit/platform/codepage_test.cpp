#include "platform/codepage.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <thread>
#include <vector>

namespace kz::platform {
namespace {

struct RoundTrip {
    unsigned codePage;
    std::string bytes;
    std::string utf8;
};

TEST(CodePage, ConvertsBothWays) {
    const RoundTrip cases[] = {
        {1252, "caf\xE9", "caf\xC3\xA9"},
        {1252, "\x80", "\xE2\x82\xAC"},
        {1252, "\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},  // as Windows
        {28591, "\xE9\x80", "\xC3\xA9\xC2\x80"},
        {932, "\x93\xFA\x96\x7B", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {936, "\xD6\xD0\xCE\xC4", "\xE4\xB8\xAD\xE6\x96\x87"},
        {54936, "\xD6\xD0\xA2\xE3", "\xE4\xB8\xAD\xE2\x82\xAC"},
        {50220, "\x1B$BF|K\\\x1B(B", "\xE6\x97\xA5\xE6\x9C\xAC"},  // ends back in ASCII
        {52936, "a~~b ~{VPND~}!", "a~b \xE4\xB8\xAD\xE6\x96\x87!"},
        {1200, std::string("A\0\xE9\0", 4), "A\xC3\xA9"},
        {1201, std::string("\0A\0\xE9", 4), "A\xC3\xA9"},
        {37, "\xC8\x85\x93\x93\x96", "Hello"},
        {65001, "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {1252, "", ""},
    };
    for (const RoundTrip& c : cases) {
        EXPECT_EQ(toUtf8(c.bytes, c.codePage), c.utf8) << c.codePage;
        EXPECT_EQ(fromUtf8(c.utf8, c.codePage), c.bytes) << c.codePage;
    }
}

TEST(CodePage, ReadsHalfWidthKatakanaInIsoJapanese) {
    EXPECT_EQ(toUtf8("\x1B(I12\x1B(B", 50221), "\xEF\xBD\xB1\xEF\xBD\xB2");
    EXPECT_EQ(toUtf8("~{VP\nA", 52936), "\xE4\xB8\xAD\nA");  // a line end leaves GB mode
}

TEST(CodePage, InvalidOrUnmappableInputGivesNull) {
    const RoundTrip bad[] = {
        {932, "\x81", ""},          // lead byte without its trail byte
        {20127, "\xFF", ""},        // not ASCII
        {1200, "A", ""},            // half a UTF-16 unit
        {52936, "~x", ""},          // unknown HZ escape
        {52936, "~{\x80\x80", ""},  // 8-bit bytes in HZ
        {65001, "\xC3", ""},
    };
    for (const RoundTrip& c : bad) EXPECT_FALSE(toUtf8(c.bytes, c.codePage)) << c.codePage;

    EXPECT_FALSE(fromUtf8("\xE6\x97\xA5", 1252));  // a character the code page lacks
    EXPECT_FALSE(fromUtf8("\xE6\x97\xA5", 28591));
    EXPECT_FALSE(fromUtf8("\xC2\x80", 1252));  // C1 control that 1252 does not hold
    EXPECT_FALSE(fromUtf8("caf\xE9", 1252));   // not UTF-8 at all

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
    const char* valid[] = {"",
                           "plain",
                           "\xC2\x80",
                           "\xE2\x82\xAC",
                           "\xEF\xBF\xBF",
                           "\xF0\x90\x80\x80",
                           "\xF4\x8F\xBF\xBF",
                           "\xED\x9F\xBF"};
    const char* invalid[] = {
        "\x80",              // lone continuation
        "\xC0\xAF",          // overlong '/'
        "\xC1\xBF",          // overlong
        "\xE0\x80\xAF",      // overlong
        "\xF0\x80\x80\xAF",  // overlong
        "\xED\xA0\x80",      // surrogate
        "\xF4\x90\x80\x80",  // above U+10FFFF
        "\xF5\x80\x80\x80",
        "\xFF",
        "\xE2\x82",       // truncated
        "a\xE2\x28\xA1",  // bad continuation
    };
    for (const char* s : valid) EXPECT_TRUE(isValidUtf8(s)) << s;
    for (const char* s : invalid) {
        EXPECT_FALSE(isValidUtf8(s)) << s;
        EXPECT_FALSE(fromUtf8(s, 65001)) << s;
        EXPECT_FALSE(toUtf8(s, 65001)) << s;
        EXPECT_FALSE(fromUtf8(s, 28591)) << s;
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
