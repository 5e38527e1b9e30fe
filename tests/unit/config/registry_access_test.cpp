#include <string>

#include "config/registry_keys.h"
#include "unit/config/config_fixture.h"

namespace kz::test {
namespace {

using config::RegReadDword;
using config::RegReadString;
using platform::RegType;

constexpr std::string_view kKey = "SOFTWARE\\Kaztrel\\Kaztrel\\Test";

class RegistryAccessTest : public ConfigTest {};

TEST_F(RegistryAccessTest, StringMustFitTheBufferWithItsTerminator) {
    struct Case {
        std::string stored;
        std::size_t size;
        int result;
        std::string read;
    };
    const Case cases[] = {
        {"1234567", 8, 1, "1234567"},  // size - 1 characters: read whole
        {"12345678", 8, 0, ""},        // one more: empty
        {std::string(1023, 'a'), 1024, 1, std::string(1023, 'a')},
        {std::string(1024, 'a'), 1024, 0, ""},
        {"", 8, 0, ""},  // an empty text counts as absent
    };
    for (const Case& c : cases) {
        setString(kKey, "Value", c.stored);
        std::string out = "previous";
        EXPECT_EQ(RegReadString(kKey, "Value", out, TextLimit{c.size}), c.result)
            << c.stored.size();
        EXPECT_EQ(out, c.read) << c.stored.size();
    }
}

TEST_F(RegistryAccessTest, StringFailuresEmptyTheBufferExceptForSizeZero) {
    setString(kKey, "Value", "text");
    std::string out = "previous";
    EXPECT_FALSE(RegReadString(kKey, "Value", out, TextLimit{0}));
    EXPECT_EQ(out, "previous");
    EXPECT_FALSE(RegReadString(kKey, "Absent", out, TextLimit{64}));
    EXPECT_EQ(out, "");
    out = "previous";
    EXPECT_FALSE(RegReadString("SOFTWARE\\Nowhere", "Value", out, TextLimit{64}));
    EXPECT_EQ(out, "");
}

TEST_F(RegistryAccessTest, StringTypeIsNotExamined) {
    // Five bytes without a terminator: too long for a buffer of 5, fits one of 6.
    setBytes(kKey, "Binary", RegType::Binary, {'a', 'b', 'c', 'd', 'e'});
    std::string out;
    EXPECT_FALSE(RegReadString(kKey, "Binary", out, TextLimit{5}));
    EXPECT_TRUE(RegReadString(kKey, "Binary", out, TextLimit{6}));
    EXPECT_EQ(out, "abcde");
    setDword(kKey, "Number", 0x00434241);
    EXPECT_TRUE(RegReadString(kKey, "Number", out, TextLimit{64}));
    EXPECT_EQ(out, "ABC");
}

TEST_F(RegistryAccessTest, Wow6432NodeIsReplacedOnceInAnyCase) {
    setString(config::kProductKey, "Mail Root", "/srv/mail");
    setString("SOFTWARE\\Kaztrel\\SOFTWARE\\Wow6432Node\\Kaztrel", "Twice", "once");
    std::string out;
    for (const char* key :
         {"Software\\Wow6432Node\\Kaztrel\\Kaztrel", "SOFTWARE\\WOW6432NODE\\KAZTREL\\Kaztrel",
          "software\\wow6432node\\kaztrel\\kaztrel"}) {
        EXPECT_TRUE(RegReadString(key, "Mail Root", out, TextLimit{1024})) << key;
        EXPECT_EQ(out, "/srv/mail") << key;
    }
    EXPECT_TRUE(RegReadString("Software\\Wow6432Node\\Kaztrel\\Software\\Wow6432Node\\Kaztrel",
                              "Twice", out, TextLimit{64}));
    EXPECT_EQ(out, "once");
    // The DWORD reader makes no replacement.
    setDword(config::kProductKey, "Number", 7);
    uint32_t number = 0;
    EXPECT_FALSE(RegReadDword("Software\\Wow6432Node\\Kaztrel\\Kaztrel", "Number", number));
}

TEST_F(RegistryAccessTest, DwordReaderTakesUpToFourBytesOfAnyType) {
    setDword(kKey, "Dword", 0x0a0b0c0d);
    setString(kKey, "Text", "abc");  // four bytes with the terminator
    setString(kKey, "LongText", "abcd");
    setBytes(kKey, "Short", RegType::Binary, {0x2a});
    setBytes(kKey, "Long", RegType::Binary, {1, 2, 3, 4, 5});
    setBytes(kKey, "Empty", RegType::Binary, {});
    struct Case {
        const char* name;
        int result;
        uint32_t value;
    };
    const Case cases[] = {
        {"Dword", 1, 0x0a0b0c0d}, {"Text", 1, 0x00636261}, {"Short", 1, 42},  {"LongText", 0, 99},
        {"Long", 0, 99},          {"Empty", 0, 99},        {"Absent", 0, 99},
    };
    for (const Case& c : cases) {
        uint32_t out = 99;
        EXPECT_EQ(RegReadDword(kKey, c.name, out), c.result) << c.name;
        EXPECT_EQ(out, c.value) << c.name;
    }
    uint32_t out = 99;
    EXPECT_FALSE(RegReadDword("", "Dword", out));
    EXPECT_EQ(out, 99u);
}

TEST_F(RegistryAccessTest, DwordWriterCreatesTheKey) {
    EXPECT_TRUE(config::RegWriteDword(config::kCountersKey, config::kServiceStart, 12345));
    auto value = platform::Registry(registryPath()).query(config::kCountersKey, "service start");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, RegType::Dword);
    EXPECT_EQ(value->asDword(), 12345u);
}

}  // namespace
}  // namespace kz::test
