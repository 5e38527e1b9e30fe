// kzmta reg, driven as an administrator would run it.

#include <gtest/gtest.h>

#include "support/case_file.h"
#include "support/test_support.h"

namespace kz {
namespace {

constexpr const char* kKey = "SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER";

class KzmtaReg : public ::testing::Test {
  protected:
    test::RunOutput reg(std::vector<std::string> args) {
        args.insert(args.begin(), {test::binPath("kzmta"), "reg"});
        return test::run(args, {"KZ_REGISTRY=" + registry});
    }
    test::TempDir dir;
    std::string registry = dir.file("registry.reg");
};

TEST_F(KzmtaReg, SetValuesReadBack) {
    auto keyed = [](std::string text) {
        std::size_t at = text.rfind("KEY");
        return at == std::string::npos ? text : text.replace(at, 3, kKey);
    };
    for (const test::CaseLine& c : test::ReadCaseFile("tools/reg_values.txt")) {
        std::vector<std::string> f;
        for (const std::string& field : c.fields) f.push_back(test::Unescape(field));
        test::RunOutput set = reg({"set", keyed(f[2]), f[3], f[0], f[1]});
        ASSERT_EQ(set.status, 0) << f[3] << ": " << set.err;
        test::RunOutput get =
            reg({"get", "software\\kaztrel\\kaztrel\\agents\\mta\\filters\\mtafilter", f[3]});
        EXPECT_EQ(get.status, 0) << f[3] << ": " << get.err;
        EXPECT_EQ(get.out, f[4]) << f[3];
        test::RunOutput list = reg({"list", kKey});
        EXPECT_NE(list.out.find(f[3] + "\t" + f[5] + "\n"), std::string::npos) << list.out;
    }
    test::RunOutput removed = reg({"delete", kKey, "max"});
    EXPECT_EQ(removed.status, 0) << removed.err;
    EXPECT_NE(reg({"get", kKey, "Max"}).status, 0);
}

TEST_F(KzmtaReg, ImportExportRoundTripsAnAdministratorsFile) {
    test::RunOutput imported = reg({"import", test::fixture("registry/admin_export_utf16.reg")});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(reg({"get", kKey, "Log Directory"}).out, "%SystemRoot%\\Kaztrel\\Logs\n");
    EXPECT_EQ(reg({"get", kKey, "Sibling Agents"}).out, "first\nsecond\n");
    EXPECT_EQ(reg({"get", kKey, "Big Counter"}).out, "4294967296\n");
    EXPECT_EQ(reg({"get", kKey, "Signature"}).out, "de,ad,be,ef\n");
    EXPECT_EQ(reg({"get", "SOFTWARE\\Kaztrel\\Kaztrel", "Organisation"}).out,
              "Soci\xC3\xA9t\xC3\xA9 \"Kaztrel\" Ltd\n");

    test::RunOutput part = reg({"export", std::string(kKey) + "\\COUNTERS"});
    EXPECT_EQ(part.out,
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER"
              "\\Counters]\n\"Service Start\"=dword:65a1b2c3\n\n");
}

TEST_F(KzmtaReg, ErrorsAreClearAndFail) {
    std::string malformed = test::fixture("registry/unknown_type.reg");
    std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"import", dir.file("missing.reg")}, "cannot read " + dir.file("missing.reg")},
        {{"import", malformed}, malformed + ": line 5: unknown value type 'qword'"},
    };
    for (const test::CaseLine& c : test::ReadCaseFile("tools/reg_errors.txt")) {
        std::vector<std::string> args(c.fields.begin() + 1, c.fields.end());
        for (std::string& arg : args) arg = arg == "KEY" ? kKey : arg;
        cases.emplace_back(args, c.fields[0]);
    }
    EXPECT_EQ(cases.size(), 16u);
    for (const auto& [args, message] : cases) {
        test::RunOutput out = reg(args);
        EXPECT_GT(out.status, 0) << message;  // an exit status, not a crash
        EXPECT_NE(out.err.find(message), std::string::npos) << out.err;
    }
    EXPECT_FALSE(test::exists(registry));
}

TEST_F(KzmtaReg, AMalformedRegistryIsReportedWithItsLine) {
    test::writeFile(registry, test::readFile(test::fixture("registry/unknown_type.reg")));
    for (std::vector<std::string> args : {std::vector<std::string>{"get", kKey, "Reload"},
                                          {"list", kKey},
                                          {"export"},
                                          {"set", kKey, "Reload", "--dword", "1"}}) {
        test::RunOutput out = reg(args);
        EXPECT_EQ(out.status, 1) << args[0];
        EXPECT_NE(out.err.find(registry + ": line 5: unknown value type 'qword'"),
                  std::string::npos)
            << args[0] << ": " << out.err;
    }
}

}  // namespace
}  // namespace kz
