// The configuration read from a machine registry of the test's own: the registry readers,
// the settings and directories, and the option lookups of the option provider.

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "config/paths.h"
#include "config/registry_keys.h"
#include "platform/dynlib.h"
#include "platform/exports.h"
#include "unit/config/config_fixture.h"
#include "unit/platform/scoped_env.h"

namespace kz::test {
namespace {

using namespace kz::config;
using platform::RegType;

constexpr std::string_view kKey = "SOFTWARE\\Kaztrel\\Kaztrel\\Test";

class RegistryAccessTest : public ConfigTest {};

// A failure empties the buffer, except for size zero; the value's type is not examined.
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
        {"text", 0, 0, "previous"},
    };
    for (const Case& c : cases) {
        setString(kKey, "Value", c.stored);
        std::string out = "previous";
        EXPECT_EQ(RegReadString(kKey, "Value", out, TextLimit{c.size}), c.result)
            << c.stored.size();
        EXPECT_EQ(out, c.read) << c.stored.size();
    }
    std::string out = "previous";
    EXPECT_FALSE(RegReadString(kKey, "Absent", out, TextLimit{64}));
    EXPECT_EQ(out, "");
    out = "previous";
    EXPECT_FALSE(RegReadString("SOFTWARE\\Nowhere", "Value", out, TextLimit{64}));
    EXPECT_EQ(out, "");

    // Five bytes without a terminator: too long for a buffer of 5, fits one of 6.
    setBytes(kKey, "Binary", RegType::Binary, {'a', 'b', 'c', 'd', 'e'});
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

TEST_F(RegistryAccessTest, DwordReaderTakesUpToFourBytesOfAnyTypeAndTheWriterCreatesTheKey) {
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
    // The writer creates the key.
    EXPECT_TRUE(config::RegWriteDword(config::kCountersKey, config::kServiceStart, 12345));
    auto value = platform::Registry(registryPath()).query(config::kCountersKey, "service start");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, RegType::Dword);
    EXPECT_EQ(value->asDword(), 12345u);
}

class SettingsTest : public ConfigTest {};

TEST_F(SettingsTest, AttachSettingsReadFromTheRegistry) {
    loadFixture("settings.reg");
    ReadAttachSettings();
    EXPECT_EQ(Settings().uriSblMaxChecks, 20u);
    EXPECT_FALSE(Settings().spamAssassinOn());  // 2: on only when 1
    EXPECT_TRUE(Settings().spamAssassinBypassesAuthenticated());
    // The DNS server list holds up to 2047 characters, the domain name fewer.
    setString(kSmtpKey, kLocalDnsServerList, std::string(2047, '1'));
    setString(kSmtpKey, kLocalDomainName, std::string(1024, 'd'));
    ReadAttachSettings();
    EXPECT_EQ(Settings().localDnsServerList.size(), 2047u);
    EXPECT_EQ(Settings().localDomainName, "");
}

struct FirstUseCase {
    const char* name;
    std::string_view key;
    std::string_view value;
    uint32_t fallback;
    std::function<uint32_t()> read;
};

const FirstUseCase kFirstUse[] = {
    {"FilterMime", kProductKey, kFilterMime, 0, FilterMime},
    {"CaseSensitivity", kAgentKey, kCaseSensitivity, 0, CaseSensitivity},
    {"PerformSblRbl", kAgentKey, kPerformSblRbl, 0, PerformSblRbl},
    {"SpfHeaderCheck", kAgentKey, kSpfHeaderCheck, 0, SpfHeaderCheck},
    {"DebugDkim", kProductKey, kDebugDkim, 0, DebugDkim},
    {"AvBypassAuthenticated", kAgentKey, kAvBypassAuthenticated, 0, AvBypassAuthenticated},
    {"UseBufferAppendMode", kProductKey, kUseBufferAppendMode, 1, UseBufferAppendMode},
};

TEST_F(SettingsTest, FirstUseValuesKeepTheirFirstRead) {
    for (const FirstUseCase& c : kFirstUse) {
        EXPECT_EQ(c.read(), c.fallback) << c.name;
        setDword(c.key, c.value, 4);
        EXPECT_EQ(c.read(), c.fallback) << c.name << " changed before a restart";
    }
    RestartedSettings restarted;
    for (const FirstUseCase& c : kFirstUse) {
        EXPECT_EQ(c.read(), 4u) << c.name;
        setDword(c.key, c.value, 0);
        EXPECT_EQ(c.read(), 4u) << c.name;
    }
}

TEST_F(SettingsTest, AStoredSentinelIsReadOnlyOnce) {
    setDword(kAgentKey, kPerformSblRbl, 200000);
    setDword(kProductKey, kFilterMime, 0xFFFFFFFF);
    EXPECT_EQ(PerformSblRbl(), 200000u);
    EXPECT_EQ(FilterMime(), 0xFFFFFFFFu);
    setDword(kAgentKey, kPerformSblRbl, 0);
    setDword(kProductKey, kFilterMime, 0);
    EXPECT_EQ(PerformSblRbl(), 200000u);
    EXPECT_EQ(FilterMime(), 0xFFFFFFFFu);
}

TEST_F(SettingsTest, EveryUseValuesAndTheReloadRequestFollowTheRegistryAtOnce) {
    EXPECT_TRUE(PublicFoldersEnabled());  // on when absent
    setDword(kProductKey, kPublicFoldersEnabled, 0);
    setDword(kSmtpKey, kWhitelistOutboundIPAddressMode, 3);
    EXPECT_FALSE(PublicFoldersEnabled());
    EXPECT_EQ(WhitelistOutboundIPAddressMode(), 3u);
    // Reload is asked for only by 1, and cleared to 0.
    setDword(kAgentKey, kReload, 2);
    EXPECT_FALSE(ReloadRequested());
    setDword(kAgentKey, kReload, 1);
    EXPECT_TRUE(ReloadRequested());
    EXPECT_EQ(ClearReload(), 1);
    EXPECT_EQ(ReloadValue(), 0u);
}

TEST_F(SettingsTest, ForwardSenderFallsBackToTheNotificationSender) {
    EXPECT_EQ(ForwardSenderAddress(), "");
    setString(kSmtpKey, kBadMailNotificationSenderAddress, "postmaster@example.test");
    EXPECT_EQ(ForwardSenderAddress(), "postmaster@example.test");
    setString(kAgentKey, kForwardSenderAddress, "");
    EXPECT_EQ(ForwardSenderAddress(), "postmaster@example.test");
    setString(kAgentKey, kForwardSenderAddress, "filter@example.test");
    EXPECT_EQ(ForwardSenderAddress(), "filter@example.test");
}

TEST_F(SettingsTest, FilterAgentValuesLieUnderTheAgentsOwnKey) {
    const std::string key = std::string(kFiltersKey) + "\\AVAGENT";
    setString(kFiltersKey, kProcessingOrder, "MTAFILTER,AVAGENT");
    setDword(key, kAgentStatus, 1);
    setDword(key, kAgentPluginEnabled, 2);  // on only when 1
    setString(key, kAgentPluginProvider, "AVPLUGIN.DLL");
    EXPECT_EQ(ProcessingOrder(), "MTAFILTER,AVAGENT");
    EXPECT_TRUE(AgentEnabled("avagent"));
    EXPECT_FALSE(AgentPluginEnabled("AVAGENT"));
    std::string provider;
    EXPECT_EQ(AgentPluginProvider("AVAGENT", provider), 1);
    EXPECT_EQ(provider, "AVPLUGIN.DLL");
    EXPECT_FALSE(AgentEnabled("OTHER"));
    setString(key, kAgentPluginProvider, std::string(128, 'x'));
    EXPECT_EQ(AgentPluginProvider("AVAGENT", provider), 0);
}

// The directories, read at attach and per run.

class DirectoriesTest : public ConfigTest {};

TEST_F(DirectoriesTest, ValuesLongerThanTheirBufferReadAsEmpty) {
    setString(kAgentKey, kActivityLogDirectory, "/" + std::string(510, 'l'));
    setString(kProductKey, kMailRoot, "/" + std::string(1022, 'm'));
    setString(kProductKey, kConfigurationDirectory, "/" + std::string(1023, 'c'));
    ReadAttachDirectories();
    auto dirs = CurrentDirectories();
    EXPECT_EQ(dirs->activityLog.size(), 511u);
    EXPECT_EQ(dirs->mailRoot.size(), 1023u);
    EXPECT_EQ(dirs->configuration, "");
    setString(kAgentKey, kActivityLogDirectory, "/" + std::string(511, 'l'));
    ReadAttachDirectories();
    EXPECT_EQ(CurrentDirectories()->activityLog, "");
}

TEST_F(DirectoriesTest, EachRunRereadsOnlyItsFourDirectories) {
    loadFixture("settings.reg");
    ReadAttachDirectories();
    auto before = CurrentDirectories();

    for (auto [key, name] : {std::pair{kConnectorsKey, kConnectorRootDirectory},
                             {kProductKey, kConfigurationDirectory},
                             {kProductKey, kBadMailDirectory},
                             {kProductKey, kQuarantineDirectory},
                             {kProductKey, kMailRoot},
                             {kProductKey, kApplicationDirectory},
                             {kAgentKey, kActivityLogDirectory}})
        setString(key, name, "/new");
    ReadRunDirectories();

    // Attach read every directory, with native separators; a run rereads only four.
    auto after = CurrentDirectories();
    EXPECT_EQ(after->connectorRoot, "/new");
    EXPECT_EQ(after->configuration, "/new");
    EXPECT_EQ(after->badMail, "/new");
    EXPECT_EQ(after->quarantine, "/new");
    EXPECT_EQ(after->mailRoot, "C:/Kaztrel/Mail");
    EXPECT_EQ(after->application, "/opt/kz/lib");
    EXPECT_EQ(after->activityLog, "/var/log/kz");
    EXPECT_EQ(after->whitelistConfiguration, "C:/Kaztrel/Config");
    // A run that took its snapshot before the reread keeps seeing the old values.
    EXPECT_EQ(before->connectorRoot, "/var/spool/kz/connectors");
    EXPECT_EQ(ReadApplicationDirectory(), "/new");
}

TEST_F(DirectoriesTest, MailRootIsReadAgainWhileEmpty) {
    ReadAttachDirectories();
    ASSERT_EQ(CurrentDirectories()->mailRoot, "");
    setString(kProductKey, kMailRoot, "D:\\Mail");
    EXPECT_EQ(PostOfficeRoot("Main"), "D:/Mail/Main");
    setString(kProductKey, kMailRoot, "/elsewhere");
    EXPECT_EQ(PostOfficeRoot("Main"), "D:/Mail/Main");
}

TEST_F(DirectoriesTest, RunsReadWholeSnapshotsWhileAnotherRunRereads) {
    setString(kConnectorsKey, kConnectorRootDirectory, "/a");
    setString(kProductKey, kQuarantineDirectory, "/a");
    ReadAttachDirectories();
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] {
            while (!done.load()) {
                ReadRunDirectories();
                auto dirs = CurrentDirectories();
                if (dirs->connectorRoot != "/a" && dirs->connectorRoot != "/b") ++torn;
            }
        });
    }
    for (int i = 0; i < 20; ++i) {
        const char* value = (i % 2) ? "/a" : "/b";
        registry().setString(kConnectorsKey, kConnectorRootDirectory, value);
        registry().setString(kProductKey, kQuarantineDirectory, value);
    }
    done = true;
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(torn.load(), 0);
}

TEST(DerivedNames, JoinDirectoryAndNameWithSlashes) {
    EXPECT_EQ(QueueMessageFile("/q", "SMTP", "A1.MAI"), "/q/SMTP/Inbound/Messages/A1.MAI");
    // Names from administrator data may carry Windows separators.
    EXPECT_EQ(CriteriaTablePath("/cfg", "Sub\\Spam"), "/cfg/FILTERS/CRITERIA/Sub/Spam.TAB");
    EXPECT_EQ(MailboxObjectName("Main", "joe"), "Main/joe");
    EXPECT_EQ(MailboxObjectName(std::string(1020, 'p'), "mailbox").size(), 1023u);
}

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
    // The result text is cut to 1023 characters.
    setString(std::string(kPostOffices) + "\\Main", "Long", std::string(3000, 'v'));
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

}  // namespace
}  // namespace kz::test
