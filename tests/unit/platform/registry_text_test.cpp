#include <gtest/gtest.h>

#include <filesystem>

#include "platform/registry.h"
#include "support/case_file.h"
#include "support/test_support.h"

namespace kz::platform {
namespace {

using Bytes = std::vector<uint8_t>;

using namespace std::string_view_literals;

Bytes bytesOf(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

const RegValue* findValue(const std::vector<RegKey>& keys, std::string_view key,
                          std::string_view name) {
    for (const RegKey& k : keys) {
        if (k.path != key) continue;
        for (const RegValue& v : k.values) {
            if (v.name == name) return &v;
        }
    }
    return nullptr;
}

constexpr const char* kProduct = "SOFTWARE\\Kaztrel\\Kaztrel";
constexpr const char* kAgent = "SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER";

// regedit writes UTF-16LE with a BOM; older exports and hand edits are 8-bit. Both
// copies of the fixture hold the same data, with CR LF line ends.
class AdminExport : public ::testing::TestWithParam<const char*> {};

TEST_P(AdminExport, ReadsEveryValueForm) {
    std::vector<RegKey> keys;
    RegResult result = parseRegText(test::readFile(test::fixture(GetParam())), keys);
    ASSERT_TRUE(result.ok()) << result.message;
    ASSERT_EQ(keys.size(), 3u);

    struct Expected {
        std::string key, name;
        RegType type;
        Bytes data;
    };
    const Expected expected[] = {
        {kProduct, "Application Directory", RegType::Sz,
         bytesOf("C:\\Program Files\\Kaztrel\\\0"sv)},
        {kProduct, "Organisation", RegType::Sz,
         bytesOf("Soci\xC3\xA9t\xC3\xA9 \"Kaztrel\" Ltd\0"sv)},
        {kProduct, "Filter MIME", RegType::Dword, {1, 0, 0, 0}},
        {kProduct, "", RegType::Sz, bytesOf("product key\0"sv)},
        {kAgent, "Debug Logging Level", RegType::Dword, {10, 0, 0, 0}},
        {kAgent, "Signature", RegType::Binary, {0xde, 0xad, 0xbe, 0xef}},
        // UTF-16 text of the hex forms arrives as the narrow text a reader expects.
        {kAgent, "Log Directory", RegType::ExpandSz, bytesOf("%SystemRoot%\\Kaztrel\\Logs\0"sv)},
        {kAgent, "Sibling Agents", RegType::MultiSz, bytesOf("first\0second\0\0"sv)},
        {kAgent, "Big Counter", RegType::Qword, {0, 0, 0, 0, 1, 0, 0, 0}},
        {kAgent, "Empty", RegType::Sz, {0}},
        {std::string(kAgent) + "\\Counters",
         "Service Start",
         RegType::Dword,
         {0xc3, 0xb2, 0xa1, 0x65}},
    };
    for (const Expected& e : expected) {
        const RegValue* value = findValue(keys, e.key, e.name);
        ASSERT_NE(value, nullptr) << e.name;
        EXPECT_EQ(value->type, e.type) << e.name;
        EXPECT_EQ(value->data, e.data) << e.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, AdminExport,
                         ::testing::Values("registry/admin_export.reg",
                                           "registry/admin_export_utf16.reg"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::filesystem::path(info.param).stem().string();
                         });

TEST(RegText, FormattedTextParsesBackToTheSameKeys) {
    std::vector<RegKey> keys;
    ASSERT_TRUE(
        parseRegText(test::readFile(test::fixture("registry/admin_export.reg")), keys).ok());
    keys.push_back({"SOFTWARE\\Odd", false, {}, {}});
    keys.back().values = {
        RegValue::fromString("Lines", "a\r\nb"),           // no quoted form for line breaks
        RegValue::fromString("Quote \"q\" \\", "x\\\"y"),  // escapes both ways
        {"NoTerminator", RegType::Sz, bytesOf("abc")},
        {"Short Dword", RegType::Dword, {1, 2}},
        {"Long Binary", RegType::Binary, Bytes(100, 0xab)},  // continued over several lines
    };
    std::string text = formatRegText(keys);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_NE(text.find("hex(2):25,00,53,00"), std::string::npos);  // UTF-16 as regedit has it
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        std::string_view line = std::string_view(text).substr(start, end - start);
        if (line.find("=hex") != line.npos || line.starts_with("  ")) {
            EXPECT_LE(line.size(), 80u) << line;
        }
    }

    std::vector<RegKey> again;
    RegResult result = parseRegText(text, again);
    ASSERT_TRUE(result.ok()) << result.message << "\n" << text;
    ASSERT_EQ(again.size(), keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(again[i].path, keys[i].path);
        EXPECT_EQ(again[i].values, keys[i].values) << keys[i].path;
    }
}

TEST(RegText, AcceptsTheLooserForms) {
    const auto cases = test::ReadCaseFile("registry/looser_forms.txt");
    EXPECT_EQ(cases.size(), 7u);
    for (const test::CaseLine& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.number);
        ASSERT_EQ(c.fields.size(), 4u);
        std::vector<RegKey> keys;
        RegResult result = parseRegText(test::Unescape(c.fields[0]), keys);
        ASSERT_TRUE(result.ok()) << result.message;
        const RegValue* value = findValue(keys, c.fields[1], c.fields[2]);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->data, bytesOf(test::Unescape(c.fields[3])));
    }
    std::vector<RegKey> keys;
    EXPECT_TRUE(parseRegText("", keys).ok());
    EXPECT_TRUE(parseRegText("\r\n\n", keys).ok());
    EXPECT_TRUE(keys.empty());
}

TEST(RegText, MalformedTextNamesTheLine) {
    const auto cases = test::ReadCaseFile("registry/malformed_cases.txt");
    ASSERT_EQ(cases.size(), 19u);
    for (const test::CaseLine& c : cases) {
        SCOPED_TRACE(::testing::Message() << "line " << c.number);
        ASSERT_EQ(c.fields.size(), 2u);
        std::vector<RegKey> keys{{"untouched", false, {}, {}}};
        RegResult result = parseRegText(test::Unescape(c.fields[0]), keys);
        EXPECT_EQ(result.status, RegStatus::Malformed);
        EXPECT_TRUE(result.message.starts_with(c.fields[1])) << result.message;
        EXPECT_EQ(keys.size(), 1u) << "output kept on failure";
    }
}

TEST(RegText, KeyPathsLoseTheHiveAndOuterBackslashes) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\A", "SOFTWARE\\A"},
        {"hklm\\SOFTWARE\\A\\", "SOFTWARE\\A"},
        {"\\SOFTWARE\\A", "SOFTWARE\\A"},
        {"HKLM", ""},
        {"HKLMX\\A", "HKLMX\\A"},
        {"SOFTWARE\\HKLM", "SOFTWARE\\HKLM"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(normalizeRegKeyPath(in), out) << in;
}

TEST(RegValueReaders, FollowTheNarrowRegistryRules) {
    EXPECT_EQ(RegValue::fromString("n", "abc").data, bytesOf("abc\0"sv));
    EXPECT_EQ((RegValue{"n", RegType::Binary, {'a', 0, 'b'}}.asString()), "a");
    EXPECT_EQ(RegValue::fromDword("n", 0x01020304).asDword(), 0x01020304u);
    EXPECT_EQ((RegValue{"n", RegType::Sz, {7, 1}}.asDword()), 0x0107u);  // types not examined
    EXPECT_EQ((RegValue{"n", RegType::Qword, Bytes(8, 1)}.asDword()), std::nullopt);
    EXPECT_EQ((RegValue{"n", RegType::Dword, {}}.asDword()), std::nullopt);
}

}  // namespace
}  // namespace kz::platform
