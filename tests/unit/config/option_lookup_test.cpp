#include <string>

#include "config/registry_keys.h"
#include "platform/dynlib.h"
#include "platform/exports.h"
#include "unit/config/config_fixture.h"
#include "unit/platform/scoped_env.h"

namespace kz::test {
namespace {

using namespace kz::config;

constexpr std::string_view kPostOffices = "SOFTWARE\\Kaztrel\\Kaztrel\\Options\\PostOffices";
constexpr std::string_view kMailboxes = "SOFTWARE\\Kaztrel\\Kaztrel\\Options\\Mailboxes";

// The option provider library reads the registry file named by KZ_REGISTRY.
class OptionLookupTest : public ConfigTest {
  protected:
    void useApplicationDirectory(const std::string& dir) {
        setString(kProductKey, kApplicationDirectory, dir);
        ReadAttachDirectories();
    }

    ScopedEnv registryEnv_{"KZ_REGISTRY", registryPath()};
};

TEST_F(OptionLookupTest, ReadsPostOfficeAndMailboxOptionsThroughTheProvider) {
    useApplicationDirectory(libDir());
    setString(std::string(kPostOffices) + "\\Main", "Public Folders", "1");
    setString(std::string(kMailboxes) + "\\Main\\joe", "DefaultAddress", "joe@example.test");
    std::string result = "previous";
    EXPECT_EQ(LookupOption(kOptionScopePostOffice, "main", kOptionPublicFolders, result), 1);
    EXPECT_EQ(result, "1");
    EXPECT_EQ(LookupOption(kOptionScopeMailbox, MailboxObjectName("Main", "joe"),
                           kOptionDefaultAddress, result),
              1);
    EXPECT_EQ(result, "joe@example.test");
    // Absent options, unknown scopes and names that would leave their own key: empty, 0.
    const std::pair<int, std::string> misses[] = {
        {kOptionScopePostOffice, "Other"},    {kOptionScopeMailbox, "Main"},
        {kOptionScopeMailbox, "Main/"},       {kOptionScopePostOffice, "Main\\..\\Other"},
        {kOptionScopeMailbox, "Main/joe\\x"}, {3, "Main"},
    };
    for (const auto& [scope, object] : misses) {
        result = "previous";
        EXPECT_EQ(LookupOption(scope, object, kOptionDefaultAddress, result), 0) << object;
        EXPECT_EQ(result, "") << object;
    }
}

TEST_F(OptionLookupTest, ResultTextIsCutTo1023Characters) {
    useApplicationDirectory(libDir());
    setString(std::string(kPostOffices) + "\\Main", "Long", std::string(3000, 'v'));
    std::string result;
    EXPECT_EQ(LookupOption(kOptionScopePostOffice, "Main", "Long", result), 1);
    EXPECT_EQ(result, std::string(1023, 'v'));
}

TEST_F(OptionLookupTest, ProviderWritesOptionsThatLookupsRead) {
    auto library = platform::DynamicLibrary::load(libPath("KZAISO.DLL"));
    ASSERT_TRUE(library);
    using SetOptionFn = int(KZ_STDCALL*)(int, const char*, const char*, const char*);
    using GetOptionFn = int(KZ_STDCALL*)(int, const char*, const char*, char*);
    auto setOption = library->entry<SetOptionFn>("SetOption");
    auto getOption = library->entry<GetOptionFn>("GetOption");
    ASSERT_TRUE(setOption && getOption);
    EXPECT_EQ(setOption(2, "Main/ann", "WebMail-Public-Folders-Modification-Permitted", "2"), 1);
    EXPECT_EQ(setOption(2, "Main", "X", "1"), 0);

    char buffer[1024] = "previous";
    EXPECT_EQ(getOption(2, "Main/ann", "WebMail-Public-Folders-Modification-Permitted", buffer), 1);
    EXPECT_STREQ(buffer, "2");
    EXPECT_EQ(getOption(1, "Main", "Absent", buffer), 0);
    EXPECT_STREQ(buffer, "");

    useApplicationDirectory(libDir());
    std::string result;
    EXPECT_EQ(LookupOption(kOptionScopeMailbox, "Main/ann", kOptionWebMailPublicFoldersModification,
                           result),
              1);
    EXPECT_EQ(result, "2");
}

TEST_F(OptionLookupTest, WithoutTheProviderEveryLookupIsEmpty) {
    useApplicationDirectory(dir_.path());
    setString(std::string(kPostOffices) + "\\Main", "Public Folders", "1");
    std::string result = "previous";
    EXPECT_EQ(LookupOption(kOptionScopePostOffice, "Main", kOptionPublicFolders, result), 0);
    EXPECT_EQ(result, "");
    // Loading is tried once: a provider that appears later is picked up by the next process.
    useApplicationDirectory(libDir());
    EXPECT_EQ(LookupOption(kOptionScopePostOffice, "Main", kOptionPublicFolders, result), 0);
    InstalledObject<OptionProviderSlot> restarted;
    EXPECT_EQ(LookupOption(kOptionScopePostOffice, "Main", kOptionPublicFolders, result), 1);
    EXPECT_EQ(result, "1");
}

TEST(MailboxObjectNameTest, JoinsPostOfficeAndMailboxWithASlash) {
    EXPECT_EQ(MailboxObjectName("Main", "joe"), "Main/joe");
    EXPECT_EQ(MailboxObjectName(std::string(1020, 'p'), "mailbox").size(), 1023u);
}

}  // namespace
}  // namespace kz::test
