// The registry: its .reg text, the store over one file, and that file shared by several
// processes.

#include "platform/registry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <map>
#include <thread>

#include "platform/environment.h"
#include "platform/files.h"
#include "support/case_file.h"
#include "support/service.h"
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
    // Key paths lose the hive and their outer backslashes.
    for (const test::CaseLine& c : test::ReadCaseFile("registry/key_path_cases.txt"))
        EXPECT_EQ(normalizeRegKeyPath(test::Unescape(c.fields[0])), test::Unescape(c.fields[1]))
            << "line " << c.number;
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

TEST(RegValueReaders, FollowTheNarrowRegistryRules) {
    EXPECT_EQ(RegValue::fromString("n", "abc").data, bytesOf("abc\0"sv));
    EXPECT_EQ((RegValue{"n", RegType::Binary, {'a', 0, 'b'}}.asString()), "a");
    EXPECT_EQ(RegValue::fromDword("n", 0x01020304).asDword(), 0x01020304u);
    EXPECT_EQ((RegValue{"n", RegType::Sz, {7, 1}}.asDword()), 0x0107u);  // types not examined
    EXPECT_EQ((RegValue{"n", RegType::Qword, Bytes(8, 1)}.asDword()), std::nullopt);
    EXPECT_EQ((RegValue{"n", RegType::Dword, {}}.asDword()), std::nullopt);

    // REG_EXPAND_SZ takes the environment: unknown names and lone signs stay as written,
    // the closing sign of an unknown name may open the next one; REG_SZ is never expanded.
    platform::setEnvironment("KZ_TEST_ROOT", "C:\\Mail");
    auto expanded = [](std::string_view text) {
        RegValue value = RegValue::fromString("n", text);
        value.type = RegType::ExpandSz;
        return value.expandedString();
    };
    EXPECT_EQ(expanded("%KZ_TEST_ROOT%\\Logs"), "C:\\Mail\\Logs");
    EXPECT_EQ(expanded("%KZ_NO_SUCH%KZ_TEST_ROOT%"), "%KZ_NO_SUCHC:\\Mail");
    EXPECT_EQ(expanded("100% %% 50%"), "100% %% 50%");
    EXPECT_EQ(RegValue::fromString("n", "%KZ_TEST_ROOT%").expandedString(), "%KZ_TEST_ROOT%");
}

const std::string kAgent = "SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER";

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

TEST_F(RegistryStore, AReadScopeSeesOneVersionOnItsThreadAndItsOwnWrites) {
    Registry registry(path), other(path);
    ASSERT_TRUE(other.setDword(kAgent, "Reload", 1).ok());
    auto reload = [&] { return registry.query(kAgent, "Reload")->asDword(); };
    {
        Registry::ReadScope scope(registry);
        ASSERT_TRUE(other.setDword(kAgent, "Reload", 2).ok());
        EXPECT_EQ(reload(), 1u);
        std::thread([&] { EXPECT_EQ(reload(), 2u); }).join();
        {
            Registry::ReadScope inner(registry);
            ASSERT_TRUE(registry.setDword(kAgent, "Level", 7).ok());  // looks at the file
        }
        EXPECT_EQ(reload(), 2u);
        EXPECT_EQ(registry.query(kAgent, "Level")->asDword(), 7u);
        ASSERT_TRUE(other.setDword(kAgent, "Reload", 3).ok());
        EXPECT_EQ(reload(), 2u);
    }
    EXPECT_EQ(reload(), 3u);
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

TEST_F(RegistryStore, MalformedImportsAndValuesChangeNothing) {
    Registry registry(path);
    ASSERT_TRUE(registry.setDword(kAgent, "Reload", 1).ok());
    std::string before = test::readFile(path);
    RegResult result = registry.importText(
        "Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"X\"=dword:1\n\"Y\"=float:1\n");
    EXPECT_EQ(result.status, RegStatus::Malformed);
    EXPECT_EQ(result.message, "line 4: unknown value type 'float'");
    EXPECT_EQ(test::readFile(path), before);
    // What the file cannot hold is refused, and nothing written.
    Registry fresh(dir.file("fresh.reg"));
    EXPECT_EQ(fresh.setDword(kAgent, "Two\nLines", 1).status, RegStatus::Malformed);
    EXPECT_EQ(fresh.setDword("SOFTWARE\\\\Empty", "x", 1).status, RegStatus::Malformed);
    EXPECT_EQ(fresh.createKey("SOFTWARE\nX").status, RegStatus::Malformed);
    EXPECT_FALSE(test::exists(dir.file("fresh.reg")));
}

std::string helper() {
    return test::binPath("kztest-registry_tool");
}

std::vector<std::string> temporaries(const std::string& dir) {
    std::vector<std::string> names = listDirectory(dir);
    std::erase_if(names, [](const std::string& name) { return name.find(".tmp.") == name.npos; });
    return names;
}

// Two processes, each writing from two threads through one Registry object.
TEST(RegistryProcesses, TwoWritersLoseNoValue) {
    test::TempDir dir;
    std::string path = dir.file("r.reg");
    auto writer = [&](const char* prefix) {
        return std::async(std::launch::async, [=] {
            return test::run({helper(), "set-many", path, kAgent, prefix, "60", "2"});
        });
    };
    auto first = writer("First ");
    auto second = writer("Second ");
    EXPECT_EQ(first.get().status, 0);
    EXPECT_EQ(second.get().status, 0);

    Registry registry(path);
    EXPECT_EQ(registry.values(kAgent).size(), 120u);
    for (int i = 0; i < 60; ++i) {
        for (const char* prefix : {"First ", "Second "}) {
            auto value = registry.query(kAgent, prefix + std::to_string(i));
            ASSERT_TRUE(value) << prefix << i;
            EXPECT_EQ(value->asDword(), uint32_t(i));
        }
    }
}

TEST(RegistryProcesses, AReaderInAnotherProcessSeesTheChangeAtItsNextRead) {
    test::TempDir dir;
    std::string path = dir.file("r.reg");
    Registry registry(path);
    ASSERT_TRUE(registry.setDword(kAgent, "Reload", 1).ok());
    std::string ready = dir.file("ready"), go = dir.file("go");
    auto watcher = std::async(std::launch::async, [&] {
        return test::run({helper(), "watch", path, kAgent, "Reload", ready, go});
    });
    ASSERT_TRUE(test::WaitFor([&] { return test::exists(ready); }));
    ASSERT_TRUE(registry.setDword(kAgent, "Reload", 2).ok());  // same size as before
    test::writeFile(go, "");
    test::RunOutput out = watcher.get();
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_EQ(out.out, "1\n2\n");
}

TEST(RegistryProcesses, AKilledWriterNeverLeavesATornFile) {
    test::TempDir dir;
    std::string path = dir.file("r.reg");
    for (int round = 0; round < 4; ++round) {
        ::unlink(path.c_str());
        test::Child writer({helper(), "churn", path, kAgent});
        // Let it rewrite the file a varying number of times, then kill it mid-work.
        Registry watcher(path);
        std::size_t wanted = std::size_t(5 + 25 * round);
        bool progressed = test::WaitFor([&] { return watcher.values(kAgent).size() >= wanted; });
        std::this_thread::sleep_for(std::chrono::milliseconds(round * 3));
        writer.signal(SIGKILL);
        EXPECT_EQ(writer.wait(), -1);  // killed, not finished
        ASSERT_TRUE(progressed);

        std::vector<RegKey> keys;
        RegResult parsed = parseRegText(test::readFile(path), keys);
        ASSERT_TRUE(parsed.ok()) << "round " << round << ": " << parsed.message;
        ASSERT_EQ(keys.size(), 1u);
        for (const RegValue& value : keys[0].values) {
            EXPECT_EQ(value.asString().size(), value.data.size() - 1) << value.name;
        }
    }
    // The next write clears what a killed writer left behind.
    ASSERT_TRUE(Registry(path).setDword(kAgent, "After", 1).ok());
    EXPECT_EQ(temporaries(dir.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace kz::platform
