#include <gtest/gtest.h>

#include <filesystem>
#include <map>

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

// regedit writes UTF-16LE with a BOM; older exports and hand edits are 8-bit. Both
// copies of the fixture hold the same data, with CR LF line ends.
class AdminExport : public ::testing::TestWithParam<const char*> {};

TEST_P(AdminExport, ReadsEveryValueForm) {
    std::vector<RegKey> keys;
    RegResult result = parseRegText(test::readFile(test::fixture(GetParam())), keys);
    ASSERT_TRUE(result.ok()) << result.message;
    ASSERT_EQ(keys.size(), 3u);

    const std::map<std::string, RegType> types = {
        {"Sz", RegType::Sz},       {"ExpandSz", RegType::ExpandSz}, {"Binary", RegType::Binary},
        {"Dword", RegType::Dword}, {"MultiSz", RegType::MultiSz},   {"Qword", RegType::Qword}};
    const auto expected = test::ReadCaseFile("registry/admin_export_values.txt");
    EXPECT_EQ(expected.size(), 11u);
    for (const test::CaseLine& e : expected) {
        const RegValue* value = findValue(keys, test::Unescape(e.fields[0]), e.fields[1]);
        ASSERT_NE(value, nullptr) << "line " << e.number;
        EXPECT_EQ(value->type, types.at(e.fields[2])) << "line " << e.number;
        EXPECT_EQ(value->data, bytesOf(test::Unescape(e.fields[3]))) << "line " << e.number;
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
    for (const test::CaseLine& c : test::ReadCaseFile("registry/key_path_cases.txt"))
        EXPECT_EQ(normalizeRegKeyPath(test::Unescape(c.fields[0])), test::Unescape(c.fields[1]))
            << "line " << c.number;
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
