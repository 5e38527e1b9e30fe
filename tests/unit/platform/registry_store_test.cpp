#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/registry.h"
#include "support/test_support.h"

namespace kz::platform {
namespace {

constexpr std::string_view kAgent = "SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER";

struct stat statOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

bool sameFileVersion(const struct stat& a, const struct stat& b) {
    return a.st_ino == b.st_ino && a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

class RegistryStore : public ::testing::Test {
  protected:
    test::TempDir dir;
    std::string path = dir.file("r.reg");
};

TEST_F(RegistryStore, MissingFileIsAnEmptyRegistry) {
    Registry registry(path);
    EXPECT_TRUE(registry.loadStatus().ok());
    EXPECT_FALSE(registry.query(kAgent, "Reload"));
    EXPECT_FALSE(registry.keyExists("SOFTWARE"));
    EXPECT_TRUE(registry.values(kAgent).empty());
    EXPECT_EQ(registry.exportText(), "Windows Registry Editor Version 5.00\n\n");
    EXPECT_EQ(registry.deleteValue(kAgent, "Reload").status, RegStatus::NotFound);
    EXPECT_FALSE(test::exists(path));  // nothing to write, nothing written
}

TEST_F(RegistryStore, NamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
    Registry registry(path);
    ASSERT_TRUE(registry.setDword(kAgent, "Reload", 1).ok());
    ASSERT_TRUE(
        registry
            .setDword("software\\KAZTREL\\kaztrel\\agents\\mta\\filters\\mtafilter", "RELOAD", 0)
            .ok());
    ASSERT_TRUE(
        registry.setString("HKEY_LOCAL_MACHINE\\Software\\Kaztrel\\KAZTREL", "Name", "v").ok());

    EXPECT_EQ(
        registry
            .query("HKLM\\SOFTWARE\\kaztrel\\kaztrel\\AGENTS\\MTA\\FILTERS\\MTAFILTER", "reload")
            ->asDword(),
        0u);
    ASSERT_EQ(registry.values(kAgent).size(), 1u);
    EXPECT_EQ(registry.values(kAgent)[0].name, "Reload");
    EXPECT_EQ(registry.subkeys("SOFTWARE\\KAZTREL\\Kaztrel"), std::vector<std::string>{"Agents"});
    EXPECT_TRUE(registry.keyExists("software\\kaztrel\\kaztrel\\agents\\mta"));  // a parent

    std::string text = test::readFile(path);
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters"
                        "\\MTAFILTER]\n\"Reload\"=dword:00000000\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("RELOAD"), std::string::npos);
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\Kaztrel\\KAZTREL]"), std::string::npos);
}

TEST_F(RegistryStore, UnchangedWritesLeaveTheFileAlone) {
    Registry registry(path);
    ASSERT_TRUE(registry.setDword(kAgent, "Reload", 1).ok());
    ASSERT_TRUE(registry.setString(kAgent, "Text", "same").ok());
    struct stat before = statOf(path);

    Registry other(path);  // another object has no cache to go by
    EXPECT_TRUE(other.setDword(kAgent, "reload", 1).ok());
    EXPECT_TRUE(registry.setString(kAgent, "Text", "same").ok());
    EXPECT_TRUE(registry.createKey(kAgent).ok());
    EXPECT_TRUE(registry.createKey("SOFTWARE\\Kaztrel").ok());  // exists as a parent
    EXPECT_TRUE(registry.importText(registry.exportText()).ok());
    EXPECT_TRUE(sameFileVersion(before, statOf(path)));

    // Same bytes under another type is a change.
    ASSERT_TRUE(registry.setValue(kAgent, {"Reload", RegType::Binary, {1, 0, 0, 0}}).ok());
    EXPECT_FALSE(sameFileVersion(before, statOf(path)));
}

TEST_F(RegistryStore, ReadsSeeEveryWriteOfAnotherObject) {
    // Same-size rewrites in quick succession must still read as changes.
    Registry reader(path), writer(path);
    for (uint32_t i = 0; i < 50; ++i) {
        ASSERT_TRUE(writer.setDword(kAgent, "Reload", i % 2).ok());
        ASSERT_EQ(reader.query(kAgent, "Reload")->asDword(), i % 2) << i;
    }
}

TEST_F(RegistryStore, ImportAppliesSetsAndDeletions) {
    test::writeFile(path, test::readFile(test::fixture("registry/admin_export_utf16.reg")));
    Registry registry(path);
    RegResult result =
        registry.importText(test::readFile(test::fixture("registry/import_changes.reg")));
    ASSERT_TRUE(result.ok()) << result.message;

    const std::string product = "SOFTWARE\\Kaztrel\\Kaztrel";
    EXPECT_EQ(registry.query(product, "Configuration Directory")->asString(),
              "D:\\Kaztrel\\Config");
    EXPECT_FALSE(registry.query(product, "Organisation"));
    EXPECT_EQ(registry.query(product, "Filter MIME")->asDword(), 0u);
    EXPECT_EQ(registry.query(product + "\\Providers", "Count")->asDword(), 2u);
    EXPECT_FALSE(registry.keyExists(std::string(kAgent) + "\\Counters"));
    EXPECT_EQ(registry.query(kAgent, "Debug Logging Level")->asDword(), 10u);
    EXPECT_EQ(registry.subkeys(product), (std::vector<std::string>{"Agents", "Providers"}));

    // The rewritten file is 8-bit text that reads back to the same registry.
    std::string text = test::readFile(path);
    EXPECT_TRUE(text.starts_with("Windows Registry Editor Version 5.00\n"));
    EXPECT_NE(text.find("\"Filter MIME\"=dword:00000000"), std::string::npos);
    Registry fresh(path);
    EXPECT_EQ(fresh.values(kAgent), registry.values(kAgent));
}

TEST_F(RegistryStore, ExportOfAKeyHoldsItAndItsSubkeysOnly) {
    Registry registry(test::fixture("registry/admin_export.reg"));
    std::string text = registry.exportText("HKLM\\" + std::string(kAgent));
    EXPECT_EQ(text.find("\"Filter MIME\""), std::string::npos);
    EXPECT_NE(text.find("\"Debug Logging Level\"=dword:0000000a"), std::string::npos);
    EXPECT_NE(text.find("\"Service Start\"=dword:65a1b2c3"), std::string::npos);

    Registry copy(dir.file("copy.reg"));
    ASSERT_TRUE(copy.importText(text).ok());
    EXPECT_EQ(copy.exportText(), text);
}

// Text values are bytes: UTF-8 or not, a version 5.00 file gives back exactly what was
// set, also after later unrelated writes rewrote it.
TEST_F(RegistryStore, TextThatALineCannotHoldSurvivesTheFile) {
    const std::string banner =
        "line one\r\nline two \xE2\x82\xAC Donn\xE9"
        "es \xED\xA0\x80";
    const std::vector<uint8_t> list = {'a', 0, 0xC9, 't', 0xC3, 0xA9, 0, 0};
    ASSERT_TRUE(Registry(path).setString(kAgent, "Banner", banner).ok());
    ASSERT_TRUE(Registry(path).setValue(kAgent, {"List", RegType::MultiSz, list}).ok());
    ASSERT_TRUE(Registry(path).setDword(kAgent, "Reload", 1).ok());
    Registry reader(path);
    EXPECT_EQ(reader.query(kAgent, "Banner")->asString(), banner);
    EXPECT_EQ(reader.query(kAgent, "List")->data, list);
    EXPECT_TRUE(reader.loadStatus().ok());
    EXPECT_TRUE(test::readFile(path).starts_with("Windows Registry Editor Version 5.00\n"));
}

// An administrator's 8-bit REGEDIT4 file stays one: the reload request, a write of
// another value, leaves every other value's line byte for byte.
TEST_F(RegistryStore, AnUnrelatedWriteLeavesARegedit4FileAsItWas) {
    const std::string original = test::readFile(test::fixture("registry/ansi_regedit4.reg"));
    test::writeFile(path, original);
    ASSERT_TRUE(Registry(path).setDword(kAgent, "Reload", 1).ok());
    std::string expected = original;
    const std::string request = "\"Reload\"=dword:0000000";
    expected.replace(expected.find(request) + request.size(), 1, "1");
    EXPECT_EQ(test::readFile(path), expected);
}

TEST_F(RegistryStore, AWriteThroughALinkReplacesTheFileAndKeepsTheLink) {
    std::string real = dir.file("real.reg"), link = dir.file("link.reg");
    ASSERT_TRUE(Registry(real).setDword(kAgent, "Reload", 1).ok());
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    Registry viaLink(link);
    ASSERT_TRUE(viaLink.setDword(kAgent, "Reload", 2).ok());
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(Registry(real).query(kAgent, "Reload")->asDword(), 2u);
    EXPECT_EQ(viaLink.query(kAgent, "Reload")->asDword(), 2u);
}

TEST_F(RegistryStore, RefusesWhatTheFileCannotHold) {
    Registry registry(path);
    EXPECT_EQ(registry.setDword(kAgent, "Two\nLines", 1).status, RegStatus::Malformed);
    EXPECT_EQ(registry.setDword("SOFTWARE\\\\Empty", "x", 1).status, RegStatus::Malformed);
    EXPECT_EQ(registry.createKey("SOFTWARE\nX").status, RegStatus::Malformed);
    EXPECT_FALSE(test::exists(path));
}

TEST_F(RegistryStore, AFileThatDoesNotParseIsReportedAndNeverOverwritten) {
    std::string broken = test::readFile(test::fixture("registry/unknown_type.reg"));
    test::writeFile(path, broken);
    Registry registry(path);
    RegResult status = registry.loadStatus();
    EXPECT_EQ(status.status, RegStatus::Malformed);
    EXPECT_EQ(status.message, path + ": line 5: unknown value type 'qword'");
    EXPECT_FALSE(registry.query("SOFTWARE\\Kaztrel\\Kaztrel", "Filter MIME"));
    EXPECT_EQ(registry.setDword(kAgent, "Reload", 0).status, RegStatus::Malformed);
    EXPECT_EQ(registry.importText("Windows Registry Editor Version 5.00\n").status,
              RegStatus::Malformed);
    EXPECT_EQ(test::readFile(path), broken);

    // Mended by hand, the file is read again.
    test::writeFile(path, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"B\"=dword:00000002\n");
    EXPECT_TRUE(registry.loadStatus().ok());
    EXPECT_EQ(registry.query("A", "B")->asDword(), 2u);
}

TEST_F(RegistryStore, ImportOfMalformedTextChangesNothing) {
    Registry registry(path);
    ASSERT_TRUE(registry.setDword(kAgent, "Reload", 1).ok());
    std::string before = test::readFile(path);
    RegResult result = registry.importText(
        "Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"X\"=dword:1\n\"Y\"=float:1\n");
    EXPECT_EQ(result.status, RegStatus::Malformed);
    EXPECT_EQ(result.message, "line 4: unknown value type 'float'");
    EXPECT_EQ(test::readFile(path), before);
}

}  // namespace
}  // namespace kz::platform
